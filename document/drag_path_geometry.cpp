#include "document/drag_path_geometry.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "canvas/canvas.h"

namespace tavlin {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int32_t kFar = 10000000;

// Widths come from project files; beyond this a stamp covers any stage many
// times over, and bounding it bounds the work a damaged file can cause.
constexpr int32_t kMaxStampWidth = 8192;

// How often one point may spawn a rounding point in simplify. Each spawned
// point inherits its parent's count, so the number of insertions per original
// point stays below 2^kMaxTurnInsertions and the rounding always ends.
constexpr int32_t kMaxTurnInsertions = 4;

// Bezier drawing evaluates every control point for every sample; above this
// much work the sample count is reduced so that a huge damaged path still
// draws in bounded time.
constexpr double kMaxBezierWork = 5e7;

double side(double px, double py, const PathPoint& a) { return (px - a.x) * a.cy - (py - a.y) * a.cx; }

double cross(double ux, double uy, double vx, double vy) { return ux * vy - uy * vx; }

// Visits the stamp positions of a line, skipping those that cannot touch the
// area lo..hi (inclusive) so that far-away points cost nothing.
template <class Stamp>
void stampLine(double x0, double y0, double x1, double y1, double lox, double loy, double hix, double hiy,
               Stamp stamp) {
    double ddx = x1 - x0, ddy = y1 - y0;
    double n = std::max(std::fabs(ddx), std::fabs(ddy));
    if (n == 0) return;
    double kmin = 0, kmax = n;
    auto clip = [&](double start, double delta, double lo, double hi) {
        if (delta == 0) {
            if (start < lo - 1 || start > hi + 1) kmax = -1;
            return;
        }
        double a = (lo - 1 - start) * n / delta, b = (hi + 1 - start) * n / delta;
        if (a > b) std::swap(a, b);
        kmin = std::max(kmin, a);
        kmax = std::min(kmax, b);
    };
    clip(x0 + 0.5, ddx, lox, hix);
    clip(y0 + 0.5, ddy, loy, hiy);
    if (kmax < kmin) return;
    int64_t k0 = static_cast<int64_t>(std::max(0.0, std::floor(kmin) - 1));
    int64_t k1 = static_cast<int64_t>(std::min(n, std::ceil(kmax) + 1));
    for (int64_t k = k0; k <= k1; ++k) {
        double kd = static_cast<double>(k);
        stamp(truncToInt(x0 + 0.5 + kd * ddx / n), truncToInt(y0 + 0.5 + kd * ddy / n));
    }
}

void maskStamp(uint8_t* mask, int32_t mw, int32_t mh, int32_t x, int32_t y, int32_t w) {
    if (w <= 1) {
        if (x >= 0 && y >= 0 && x < mw && y < mh) mask[size_t(y) * size_t(mw) + size_t(x)] = 1;
        return;
    }
    if (w == 2) {
        for (int32_t j = 0; j < 2; ++j)
            for (int32_t i = 0; i < 2; ++i) {
                int64_t px = int64_t(x) + i, py = int64_t(y) + j;
                if (px >= 0 && py >= 0 && px < mw && py < mh) mask[size_t(py) * size_t(mw) + size_t(px)] = 1;
            }
        return;
    }
    int64_t r = w - 1;
    int64_t limit = r * r + 1;
    int64_t j0 = std::max<int64_t>(-r, -int64_t(y)), j1 = std::min<int64_t>(r, int64_t(mh) - 1 - y);
    for (int64_t j = j0; j <= j1; ++j) {
        int64_t rest = limit - j * j;
        int64_t half = static_cast<int64_t>(std::sqrt(static_cast<double>(rest)));
        while (half * half > rest) --half;
        while ((half + 1) * (half + 1) <= rest) ++half;
        half = std::min(half, r);
        int64_t i0 = std::max<int64_t>(int64_t(x) - half, 0), i1 = std::min<int64_t>(int64_t(x) + half, mw - 1);
        if (i0 > i1) continue;
        std::memset(mask + size_t(y + j) * size_t(mw) + size_t(i0), 1, size_t(i1 - i0 + 1));
    }
}

// A filled circle of diameter 2w whose bounding box starts at (x - w, y - w).
void discStamp(Image& img, int32_t x, int32_t y, int32_t w, uint32_t colour) {
    uint32_t px = 0xFF000000u | (colour & 0xFFFFFF);
    double cx = x, cy = y, r2 = double(w) * double(w);
    int64_t y0 = std::max<int64_t>(int64_t(y) - w, 0), y1 = std::min<int64_t>(int64_t(y) + w - 1, img.height - 1);
    for (int64_t row = y0; row <= y1; ++row) {
        double dy = double(row) + 0.5 - cy;
        double rest = r2 - dy * dy;
        if (rest < 0) continue;
        double half = std::sqrt(rest);
        int64_t c0 = static_cast<int64_t>(std::ceil(cx - 0.5 - half));
        int64_t c1 = static_cast<int64_t>(std::floor(cx - 0.5 + half));
        c0 = std::max<int64_t>(c0, 0);
        c1 = std::min<int64_t>(c1, img.width - 1);
        if (c0 > c1) continue;
        uint32_t* line = img.row(static_cast<int32_t>(row));
        std::fill(line + c0, line + c1 + 1, px);
    }
}

// Clips a segment to a box (Liang-Barsky); false when nothing is left.
bool clipSegment(double& x0, double& y0, double& x1, double& y1, double lo, double hix, double hiy) {
    double t0 = 0, t1 = 1, dx = x1 - x0, dy = y1 - y0;
    auto edge = [&](double p, double q) {
        if (p == 0) return q >= 0;
        double r = q / p;
        if (p < 0) {
            if (r > t1) return false;
            t0 = std::max(t0, r);
        } else {
            if (r < t0) return false;
            t1 = std::min(t1, r);
        }
        return true;
    };
    if (!edge(-dx, x0 - lo) || !edge(dx, hix - x0) || !edge(-dy, y0 - lo) || !edge(dy, hiy - y0)) return false;
    double nx0 = x0 + t0 * dx, ny0 = y0 + t0 * dy, nx1 = x0 + t1 * dx, ny1 = y0 + t1 * dy;
    x0 = nx0, y0 = ny0, x1 = nx1, y1 = ny1;
    return true;
}

double hypotOf(double dx, double dy) { return std::sqrt(dx * dx + dy * dy); }

double chord(const PathPoint& a, const PathPoint& b) { return hypotOf(double(b.x) - a.x, double(b.y) - a.y); }

int32_t roundHalfUp(double v) { return truncToInt(v + 0.5); }

}  // namespace

int32_t truncToInt(double v) {
    if (std::isnan(v)) return 0;
    if (v >= 2147483647.0) return std::numeric_limits<int32_t>::max();
    if (v <= -2147483648.0) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(v);
}

// --- free helpers ----------------------------------------------------------

double lineDistance(double px, double py, const PathPoint& a, const PathPoint& b) {
    double dx = double(b.x) - a.x, dy = double(b.y) - a.y;
    double len = hypotOf(dx, dy);
    if (len >= 1e-10) return std::fabs((dy / len) * (px - b.x) - (dx / len) * (py - b.y));
    return hypotOf(px - b.x, py - b.y);
}

double projectionParameter(double px, double py, const PathPoint& a, const PathPoint& b) {
    double ex = double(a.x) - b.x, ey = double(a.y) - b.y;
    double len2 = ex * ex + ey * ey;
    if (len2 < 1e-10) return 0;
    return ((a.x - px) * ex + (a.y - py) * ey) / len2;
}

bool sameSide(double px, double py, double qx, double qy, const PathPoint& a) {
    return side(px, py, a) * side(qx, qy, a) >= 0;
}

void maskThickLine(uint8_t* mask, int32_t mw, int32_t mh, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                   int32_t width) {
    if (!mask || mw <= 0 || mh <= 0) return;
    int32_t w = std::min(width, kMaxStampWidth);
    double reach = std::max(w, 2);
    stampLine(x0, y0, x1, y1, -reach, -reach, mw + reach, mh + reach,
              [&](int32_t x, int32_t y) { maskStamp(mask, mw, mh, x, y, w); });
}

void canvasThickLine(Canvas& canvas, int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t width,
                     uint32_t colour) {
    if (width < 1 || (x0 == x1 && y0 == y1)) return;
    Image& img = canvas.image();
    if (width == 1) {
        // The one-pixel line goes through the platform painter; keep its
        // coordinates in a range it handles exactly.
        constexpr int32_t kSafe = 1 << 20;
        auto safe = [&](int32_t v) { return v > -kSafe && v < kSafe; };
        if (safe(x0) && safe(y0) && safe(x1) && safe(y1)) {
            canvas.Line(x0, y0, x1, y1, colour);
            return;
        }
        double fx0 = x0, fy0 = y0, fx1 = x1, fy1 = y1;
        if (!clipSegment(fx0, fy0, fx1, fy1, -2, img.width + 2, img.height + 2)) return;
        canvas.Line(roundHalfUp(fx0), roundHalfUp(fy0), roundHalfUp(fx1), roundHalfUp(fy1), colour);
        return;
    }
    int32_t w = std::min(width, kMaxStampWidth);
    stampLine(x0, y0, x1, y1, -w, -w, img.width + w, img.height + w,
              [&](int32_t x, int32_t y) { discStamp(img, x, y, w, colour); });
}

void canvasDisc(Canvas& canvas, int32_t x, int32_t y, int32_t radius, uint32_t colour) {
    if (radius < 1) return;
    discStamp(canvas.image(), x, y, radius, colour);
}

// --- Path ------------------------------------------------------------------

void Path::addPoint(int32_t x, int32_t y, int32_t frame, bool ordinary) {
    PathPoint p;
    p.x = x;
    p.y = y;
    p.frame = frame;
    p.flags = ordinary ? 0 : PathPoint::kHandOver;
    points_.push_back(p);
}

void Path::insertPoint(int32_t index, const PathPoint& p) {
    index = std::clamp(index, 0, count());
    points_.insert(points_.begin() + index, p);
}

void Path::removePoint(int32_t index) {
    if (index < 0 || index >= count()) return;
    points_.erase(points_.begin() + index);
}

void Path::removePoints(int32_t first, int32_t last) {
    first = std::max(first, 0);
    last = std::min(last, count() - 1);
    if (first > last) return;
    points_.erase(points_.begin() + first, points_.begin() + last + 1);
}

PathPoint* Path::point(int32_t index) {
    if (index < 0 || index >= count()) return nullptr;
    return &points_[size_t(index)];
}

const PathPoint* Path::point(int32_t index) const {
    if (index < 0 || index >= count()) return nullptr;
    return &points_[size_t(index)];
}

void Path::computeCross() {
    int32_t n = count();
    if (n < 2) return;
    auto& p = points_;
    p[0].cx = -(double(p[1].y) - p[0].y);
    p[0].cy = double(p[1].x) - p[0].x;
    p[n - 1].cx = -(double(p[n - 1].y) - p[n - 2].y);
    p[n - 1].cy = double(p[n - 1].x) - p[n - 2].x;
    for (int32_t i = 1; i < n - 1; ++i) {
        double a1 = std::atan2(double(p[i].y) - p[i - 1].y, double(p[i].x) - p[i - 1].x);
        double a2 = std::atan2(double(p[i + 1].y) - p[i].y, double(p[i + 1].x) - p[i].x);
        double theta = a1 + (kPi - (a1 - a2)) / 2;
        p[i].cx = std::cos(theta);
        p[i].cy = std::sin(theta);
    }
}

int32_t Path::segmentAtFrame(double frame) const {
    for (int32_t i = 1; i < count(); ++i) {
        if ((points_[i].frame - frame) * (points_[i - 1].frame - frame) <= 0) return i;
    }
    return -1;
}

void Path::markSlabs(int32_t x, int32_t y) {
    if (points_.empty()) return;
    // Each point's side value serves two segments; no branches in the loop,
    // as dragging maps the pointer on every mouse move.
    double prev = side(x, y, points_[0]);
    for (size_t i = 1; i < points_.size(); ++i) {
        const PathPoint& a = points_[i - 1];
        PathPoint& b = points_[i];
        double here = side(x, y, b);
        bool in = (prev * side(b.x, b.y, a) >= 0) & (here * side(a.x, a.y, b) >= 0);
        b.flags = (b.flags & ~PathPoint::kInSlab) | (in ? PathPoint::kInSlab : 0);
        prev = here;
    }
}

PointerMapping Path::mapPointer(int32_t x, int32_t y, std::optional<double> currentFrame) {
    PointerMapping out;
    out.frame = currentFrame.value_or(0);
    int32_t n = count();
    if (n < 2) return out;
    out.mapped = true;
    markSlabs(x, y);
    auto marked = [&](int32_t i) { return (points_[i].flags & PathPoint::kInSlab) != 0; };
    auto dist = [&](int32_t i) { return lineDistance(x, y, points_[i - 1], points_[i]); };

    int32_t chosen = -1;
    double best = 0;
    int32_t k = -1;
    bool keep = false;  // the current frame's segment holds the pointer
    if (currentFrame) {
        k = segmentAtFrame(*currentFrame);
        if (k > 0 && marked(k)) {
            chosen = k;
            best = dist(k);
            keep = true;
        }
    }
    if (!keep) {
        for (int32_t i = 0; i < n; ++i) {
            if (points_[i].x == x && points_[i].y == y) {
                out.index = i;
                out.distance = 0;
                out.frame = points_[i].frame;
                return out;
            }
        }
        double d0 = hypotOf(double(x) - points_[0].x, double(y) - points_[0].y);
        double dL = hypotOf(double(x) - points_[n - 1].x, double(y) - points_[n - 1].y);
        int32_t nearestEnd = d0 <= dL ? 0 : n - 1;
        best = std::min(d0, dL);
        bool neighbourBefore = false;
        bool neighbourAfter = false;
        if (k >= 2 && marked(k - 1) && dist(k - 1) < best) {
            chosen = k - 1;
            best = dist(k - 1);
            neighbourBefore = true;
        }
        if (k >= 0 && k + 1 < n && marked(k + 1) && dist(k + 1) < best) {
            chosen = k + 1;
            best = dist(k + 1);
            neighbourAfter = true;
        }
        if (!neighbourBefore && !neighbourAfter) {
            for (int32_t i = 1; i < n; ++i) {
                if (!marked(i)) continue;
                double d = dist(i);
                if (d < best) {
                    best = d;
                    chosen = i;
                }
            }
        }
        if (chosen < 0) {
            out.index = nearestEnd;
            out.distance = best;
            out.frame = points_[nearestEnd].frame;
            return out;
        }
    }

    const PathPoint& a = points_[chosen - 1];
    const PathPoint& b = points_[chosen];
    out.index = chosen;
    out.distance = best;
    double dx = double(b.x) - a.x, dy = double(b.y) - a.y;
    double dlen = hypotOf(dx, dy);
    double crossA = cross(dx, dy, a.cx, a.cy), crossB = cross(dx, dy, b.cx, b.cy);
    if (std::fabs(crossA) > 1e-10 && std::fabs(crossB) > 1e-10) {
        // P + s*d meets the cross line through a (or b); |s|*|d| is the way there.
        double sa = cross(double(a.x) - x, double(a.y) - y, a.cx, a.cy) / crossA;
        double sb = cross(double(b.x) - x, double(b.y) - y, b.cx, b.cy) / crossB;
        double da = std::fabs(sa) * dlen, db = std::fabs(sb) * dlen;
        if (da + db > 1e-10) {
            out.frame = (double(b.frame) * da + double(a.frame) * db) / (da + db);
            return out;
        }
    }
    out.frame = b.frame;
    return out;
}

void Path::simplify(int32_t minDistance) {
    auto& p = points_;
    auto close = [&](const PathPoint& u, const PathPoint& v) {
        return std::llabs(int64_t(u.x) - v.x) < minDistance && std::llabs(int64_t(u.y) - v.y) < minDistance;
    };
    size_t last = 0;
    size_t i = 1;
    while (i + 1 < p.size()) {
        if (close(p[i], p[last]) || p[i].frame == p[last].frame) {
            p.erase(p.begin() + long(i));
        } else {
            last = i;
            ++i;
        }
    }
    if (p.size() >= 3) {
        size_t s = p.size() - 2;
        if (close(p[s], p.back()) || p[s].frame == p.back().frame) p.erase(p.begin() + long(s));
    }

    const double cos45 = std::cos(kPi / 4);
    std::vector<int32_t> spawned(p.size(), 0);
    // After an insertion at c the triples ending before c are unchanged, so
    // scanning again from the start would find nothing new before c.
    size_t from = 2;
    bool again = true;
    while (again) {
        again = false;
        for (size_t c = from; c < p.size(); ++c) {
            const PathPoint& A = p[c - 2];
            const PathPoint& B = p[c - 1];
            const PathPoint& C = p[c];
            double bax = double(A.x) - B.x, bay = double(A.y) - B.y;
            double bcx = double(C.x) - B.x, bcy = double(C.y) - B.y;
            double acx = double(C.x) - A.x, acy = double(C.y) - A.y;
            double ba2 = bax * bax + bay * bay, bc2 = bcx * bcx + bcy * bcy, ac2 = acx * acx + acy * acy;
            if (ba2 == 0 || bc2 == 0) continue;  // no angle at a doubled point
            double ba = std::sqrt(ba2), bc = std::sqrt(bc2);
            double cosB = (ba2 + bc2 - ac2) / 2 / (ba * bc);
            if (!(cosB > cos45) || spawned[c - 1] >= kMaxTurnInsertions) continue;
            double u1x = -bax / ba, u1y = -bay / ba;
            double u2x = bcx / bc, u2y = bcy / bc;
            double mx = u1x + u2x, my = u1y + u2y;
            double mlen = hypotOf(mx, my);
            double ox, oy;
            if (mlen >= 1e-10) {
                ox = minDistance * mx / mlen;
                oy = minDistance * my / mlen;
            } else {
                ox = -minDistance * u2y;
                oy = minDistance * u2x;
            }
            PathPoint q;
            q.x = truncToInt(B.x + ox);
            q.y = truncToInt(B.y + oy);
            q.frame = truncToInt(0.1 * C.frame + 0.9 * B.frame);
            q.flags = 0;
            int32_t budget = ++spawned[c - 1];
            p.insert(p.begin() + long(c), q);
            spawned.insert(spawned.begin() + long(c), budget);
            from = c;
            again = true;
            break;
        }
    }
    computeCross();
}

bool Path::dropPoint(int32_t j, int32_t x, int32_t y) {
    int32_t n = count();
    int32_t k = -1;
    if (j >= 0 && j < n) {
        for (int32_t i = 0; i < n; ++i) {
            if (i == j) continue;
            if (std::llabs(int64_t(x) - points_[i].x) < 4 && std::llabs(int64_t(y) - points_[i].y) < 4) {
                k = i;
                break;
            }
        }
    }
    if (k >= 0) {
        bool jEnd = j == 0 || j == n - 1;
        bool kEnd = k == 0 || k == n - 1;
        if (!jEnd) {
            if (j < k)
                removePoints(j, k - 1);
            else
                removePoints(k + 1, j);
        } else if (!kEnd) {
            if (k > j)
                removePoints(j + 1, k);
            else
                removePoints(k, j - 1);
        }
    }
    computeCross();
    return count() >= 2;
}

void Path::distributeFrames(int32_t first, int32_t last) {
    int64_t n = count();
    if (n == 1) {
        // A path drawn without moving the mouse sits at the start frame.
        points_[0].frame = first;
        return;
    }
    for (int64_t i = 0; i < n; ++i) {
        int64_t f = int64_t(first) + (i * (int64_t(last) - first)) / (n - 1);
        points_[size_t(i)].frame = static_cast<int32_t>(f);
    }
}

// --- shapes ----------------------------------------------------------------

const PathShape& PathShape::forPath(const Path& path, int32_t curveFlag) {
    if (path.count() > 2 && curveFlag == 1) return BezierShape::instance();
    return PolylineShape::instance();
}

const PolylineShape& PolylineShape::instance() {
    static const PolylineShape shape;
    return shape;
}

bool PolylineShape::positionAt(const Path& path, double frame, Position* out) const {
    int32_t i = path.segmentAtFrame(frame);
    if (i < 1) return false;
    const PathPoint& a = *path.point(i - 1);
    const PathPoint& b = *path.point(i);
    double t = a.frame == b.frame ? 0 : (frame - a.frame) / (double(b.frame) - a.frame);
    if (t < 0 || t > 1) return false;
    out->x = roundHalfUp((1 - t) * a.x + t * b.x);
    out->y = roundHalfUp((1 - t) * a.y + t * b.y);
    out->dx = truncToInt(double(b.x) - a.x);
    out->dy = truncToInt(double(b.y) - a.y);
    return true;
}

int32_t PolylineShape::distanceTo(const Path& path, int32_t x, int32_t y) const {
    if (path.count() < 2) return kFar;
    const auto& p = path.points();
    double best = std::numeric_limits<double>::max();
    for (const PathPoint& q : p) best = std::min(best, hypotOf(double(x) - q.x, double(y) - q.y));
    for (size_t i = 1; i < p.size(); ++i) {
        double t = projectionParameter(x, y, p[i - 1], p[i]);
        if (t >= 0 && t <= 1) best = std::min(best, lineDistance(x, y, p[i - 1], p[i]));
    }
    return truncToInt(best);
}

void PolylineShape::drawMask(uint8_t* mask, int32_t mw, int32_t mh, const Path& path, int32_t width) const {
    const auto& p = path.points();
    int32_t w2 = truncToInt(2.0 * width);
    for (size_t i = 1; i < p.size(); ++i)
        maskThickLine(mask, mw, mh, truncToInt(2.0 * p[i - 1].x), truncToInt(2.0 * p[i - 1].y),
                      truncToInt(2.0 * p[i].x), truncToInt(2.0 * p[i].y), w2);
}

void PolylineShape::drawLine(Canvas& canvas, const Path& path, int32_t width, uint32_t colour) const {
    const auto& p = path.points();
    for (size_t i = 1; i < p.size(); ++i) canvasThickLine(canvas, p[i - 1].x, p[i - 1].y, p[i].x, p[i].y, width, colour);
}

const BezierShape& BezierShape::instance() {
    static const BezierShape shape;
    return shape;
}

void BezierShape::evaluate(const Path& path, double u, double* x, double* y) {
    const auto& p = path.points();
    *x = 0;
    *y = 0;
    if (p.empty()) return;
    int64_t deg = int64_t(p.size()) - 1;
    if (deg <= 500) {
        // Binomial coefficients stay finite up to here.
        double coef = 1;
        for (int64_t i = 0; i <= deg; ++i) {
            double term = coef * std::pow(1 - u, double(deg - i)) * std::pow(u, double(i));
            *x += term * p[size_t(i)].x;
            *y += term * p[size_t(i)].y;
            coef = coef * double(deg - i) / double(i + 1);
        }
        return;
    }
    // Higher degrees in logarithms, where the coefficients would overflow.
    if (u <= 0) {
        *x = p.front().x, *y = p.front().y;
        return;
    }
    if (u >= 1) {
        *x = p.back().x, *y = p.back().y;
        return;
    }
    double lu = std::log(u), lv = std::log1p(-u), lgd = std::lgamma(double(deg) + 1);
    for (int64_t i = 0; i <= deg; ++i) {
        double lc = lgd - std::lgamma(double(i) + 1) - std::lgamma(double(deg - i) + 1);
        double term = std::exp(lc + double(deg - i) * lv + double(i) * lu);
        *x += term * p[size_t(i)].x;
        *y += term * p[size_t(i)].y;
    }
}

bool BezierShape::positionAt(const Path& path, double frame, Position* out) const {
    int32_t i = path.segmentAtFrame(frame);
    if (i < 1) return false;
    const auto& p = path.points();
    double total = 0, before = 0;
    for (int32_t j = 1; j < path.count(); ++j) {
        double c = chord(p[size_t(j - 1)], p[size_t(j)]);
        total += c;
        if (j < i) before += c;
    }
    if (total <= 0) return false;
    const PathPoint& a = p[size_t(i - 1)];
    const PathPoint& b = p[size_t(i)];
    double t = a.frame == b.frame ? 0 : (frame - a.frame) / (double(b.frame) - a.frame);
    if (t < 0 || t > 1) return false;
    double qx = roundHalfUp((1 - t) * a.x + t * b.x), qy = roundHalfUp((1 - t) * a.y + t * b.y);
    double u = (before + hypotOf(qx - a.x, qy - a.y)) / total;
    double bx, by;
    evaluate(path, u, &bx, &by);
    out->x = truncToInt(bx);
    out->y = truncToInt(by);
    double ox, oy;
    if (u < 0.9) {
        evaluate(path, u + 0.05, &ox, &oy);
        out->dx = truncToInt(ox - bx);
        out->dy = truncToInt(oy - by);
    } else {
        evaluate(path, u - 0.05, &ox, &oy);
        out->dx = truncToInt(bx - ox);
        out->dy = truncToInt(by - oy);
    }
    return true;
}

int32_t BezierShape::distanceTo(const Path& path, int32_t x, int32_t y) const {
    if (path.count() == 0) return kFar;
    double best = kFar;
    for (double u = 0; u <= 1; u += 0.01) {
        double bx, by;
        evaluate(path, u, &bx, &by);
        double dx = std::trunc(x - bx), dy = std::trunc(y - by);
        best = std::min(best, hypotOf(dx, dy));
    }
    return truncToInt(best);
}

namespace {

int64_t bezierSamples(const Path& path) {
    double n = path.count();
    double m = 10 * n;
    if (m * n > kMaxBezierWork) m = std::max(10.0, std::floor(kMaxBezierWork / n));
    return static_cast<int64_t>(m);
}

}  // namespace

void BezierShape::drawMask(uint8_t* mask, int32_t mw, int32_t mh, const Path& path, int32_t width) const {
    if (path.count() == 0) return;
    int64_t m = bezierSamples(path);
    int32_t w2 = truncToInt(2.0 * width);
    int32_t px = truncToInt(2.0 * path.point(0)->x), py = truncToInt(2.0 * path.point(0)->y);
    for (int64_t j = 1; j <= m; ++j) {
        double bx, by;
        evaluate(path, double(j) / double(m), &bx, &by);
        int32_t cx = truncToInt(2 * bx + 0.5), cy = truncToInt(2 * by + 0.5);
        maskThickLine(mask, mw, mh, px, py, cx, cy, w2);
        px = cx, py = cy;
    }
}

void BezierShape::drawLine(Canvas& canvas, const Path& path, int32_t width, uint32_t colour) const {
    if (path.count() == 0 || width < 1) return;
    int64_t m = bezierSamples(path);
    int32_t px = path.point(0)->x, py = path.point(0)->y;
    for (int64_t j = 1; j <= m; ++j) {
        double bx, by;
        evaluate(path, double(j) / double(m), &bx, &by);
        int32_t cx = roundHalfUp(bx), cy = roundHalfUp(by);
        canvasThickLine(canvas, px, py, cx, cy, width, colour);
        px = cx, py = cy;
    }
}

}  // namespace tavlin
