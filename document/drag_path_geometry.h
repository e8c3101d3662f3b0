#pragma once
// The point chain of a drag path and its geometry: cross directions, slabs,
// mapping a pointer to a frame, clean-up after drawing, and the two ways a
// path is drawn (straight segments or one Bezier curve over all points).

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace tavlin {


struct CurveSamples;

struct PathPoint {
    // The pointer lies in the slab of the segment ending here (scratch, set by
    // every mapping).
    static constexpr int32_t kInSlab = 1;
    // Dragging past this point may hand the drag over to another path.
    static constexpr int32_t kHandOver = 2;

    int32_t x = 0;
    int32_t y = 0;
    int32_t frame = 0;
    double cx = 0;  // cross direction, recomputed by computeCross
    double cy = 0;
    int32_t flags = 0;

    bool handOver() const { return (flags & kHandOver) != 0; }
};

// What mapPointer found. With fewer than two points nothing is mapped and the
// frame is the one passed in (or 0).
struct PointerMapping {
    bool mapped = false;
    double frame = 0;
    double distance = 0;
    int32_t index = -1;  // a segment's end point, or the point hit
};

// Segment i (1..count-1) joins point i-1 to point i and is named by i.
class Path {
public:
    void addPoint(int32_t x, int32_t y, int32_t frame, bool ordinary);
    // index is clamped into 0..count.
    void insertPoint(int32_t index, const PathPoint& p);
    void removePoint(int32_t index);
    // Removes the points first..last (inclusive, clamped).
    void removePoints(int32_t first, int32_t last);
    void clear() { points_.clear(); }

    PathPoint* point(int32_t index);
    const PathPoint* point(int32_t index) const;
    int32_t count() const { return static_cast<int32_t>(points_.size()); }
    const std::vector<PathPoint>& points() const { return points_; }
    std::vector<PathPoint>& points() { return points_; }

    void computeCross();
    // The first segment whose frames enclose the frame, or -1.
    int32_t segmentAtFrame(double frame) const;
    // Sets or clears the slab mark of every point from 1 on.
    void markSlabs(int32_t x, int32_t y);
    PointerMapping mapPointer(int32_t x, int32_t y, std::optional<double> currentFrame);

    // Thins a free-hand path and rounds turns sharper than 45 degrees.
    void simplify(int32_t minDistance);
    // Merges a released point with a point it was dropped on, cutting the loop
    // between them. True when at least two points remain.
    bool dropPoint(int32_t index, int32_t x, int32_t y);
    // Spreads frames first..last evenly by point index.
    void distributeFrames(int32_t first, int32_t last);

private:
    friend class BezierShape;

    // Puts a point in at every turn sharper than 45 degrees (three points or more).
    void roundTurns(int32_t minDistance);

    std::vector<PathPoint> points_;
    // The Bezier curve's samples, shared by copies. Checked against the
    // coordinates on every use, so no way of changing a point can leave it stale.
    mutable std::shared_ptr<CurveSamples> curve_;
};

// Distance from (px, py) to the line through b with direction b - a.
double lineDistance(double px, double py, const PathPoint& a, const PathPoint& b);
// Where (px, py) projects on a->b: 0 at a, 1 at b.
double projectionParameter(double px, double py, const PathPoint& a, const PathPoint& b);
// Same side of the cross line through a (touching counts).
bool sameSide(double px, double py, double qx, double qy, const PathPoint& a);

// How a path is drawn and where its thumb sits.
class PathShape {
public:
    struct Position {
        int32_t x = 0;
        int32_t y = 0;
        int32_t dx = 0;
        int32_t dy = 0;
    };

    virtual ~PathShape() = default;
    virtual bool positionAt(const Path& path, double frame, Position* out) const = 0;
    virtual int32_t distanceTo(const Path& path, int32_t x, int32_t y) const = 0;
    // The path as the straight strokes it is drawn with, its coordinates
    // multiplied by `scale` (2 for the smoothing mask at double resolution).
    using StrokeSink = std::function<void(int32_t x0, int32_t y0, int32_t x1, int32_t y1)>;
    virtual void strokes(const Path& path, int32_t scale, const StrokeSink& sink) const = 0;

    // The Bezier shape needs three points; fewer fall back to straight lines.
    static const PathShape& forPath(const Path& path, int32_t curveFlag);
};

class PolylineShape final : public PathShape {
public:
    static const PolylineShape& instance();
    bool positionAt(const Path& path, double frame, Position* out) const override;
    int32_t distanceTo(const Path& path, int32_t x, int32_t y) const override;
    void strokes(const Path& path, int32_t scale, const StrokeSink& sink) const override;
};

class BezierShape final : public PathShape {
public:
    static const BezierShape& instance();
    bool positionAt(const Path& path, double frame, Position* out) const override;
    int32_t distanceTo(const Path& path, int32_t x, int32_t y) const override;
    void strokes(const Path& path, int32_t scale, const StrokeSink& sink) const override;

    // The curve at u in 0..1 with every point as a control point.
    static void evaluate(const Path& path, double u, double* x, double* y);
    // Samples along the curve when it is drawn, bounded for huge paths.
    static int64_t sampleCount(const Path& path);

private:
    // The samples of the path's current coordinates, made anew when they changed.
    static CurveSamples& samplesOf(const Path& path);
};

// Truncation toward zero that saturates instead of overflowing.
int32_t truncToInt(double v);

}  // namespace tavlin
