#pragma once
// The stage object the viewer drags along to move through the frames. Buttons
// are drag paths too: two points with one frame and a picture per state.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "document/drag_path_geometry.h"
#include "document/media_object.h"

namespace tavlin {

class ImageResource;

// Appearance states.
enum DragPathState : int32_t { kStateNormal = 0, kStateHighlighted = 1, kStatePressed = 2 };
constexpr int32_t kDragPathStates = 3;

// Arrow mode bits.
constexpr int32_t kArrowStart = 1;
constexpr int32_t kArrowEnd = 2;
constexpr int32_t kArrowAuto = 4;  // start and end bits ignored

// Thumb direction modes.
enum ThumbDirection : int32_t { kThumbFixed = 0, kThumbFlip = 1, kThumbRotate = 2 };

class DragPath : public MediaObject {
public:
    // Colours, widths and options come from the settings ("dmcolor0".. "dmthumbdir").
    explicit DragPath(Document& document);
    ~DragPath() override;

    // Next thumb picture; false without thumbs.
    bool animate() override;
    // Visible at the frame with at least two thumbs to take turns.
    bool isAnimatedAt(int32_t frame) const override;
    // Moves the rectangle and every point by the same offset (cross directions stay).
    void moveTo(int32_t x, int32_t y) override;
    // Points (6), segments (7); a path with a picture also its rectangle.
    int32_t hitTest(int32_t x, int32_t y, int32_t tolerance, int32_t* index) const override;
    // The first state picture present (state 0, else 1, else 2).
    Size mediaSize() const override;
    void accept(ObjectVisitor& visitor) override { visitor.visit(*this); }
    int32_t kind() const override { return kDragPath; }
    std::string icon() const override { return "bdm.png"; }
    // Starts with grab-from-thumb off (older files lack the record) and puts
    // the thumb on the first point.
    bool read(ProjectReader& in) override;
    bool write(ProjectWriter& out) const override;
    // The state pictures and thumbs.
    void collectMedia(std::vector<MediaResource*>& out) const override;
    // The frames of the first and last point.
    bool pathFrameSpan(FrameRange* span) const override;

    // Point list shortcuts.
    void addPoint(int32_t x, int32_t y, int32_t frame, bool ordinary) { path.addPoint(x, y, frame, ordinary); }
    int32_t count() const { return path.count(); }
    PathPoint* point(int32_t index) { return path.point(index); }
    const PathPoint* point(int32_t index) const { return path.point(index); }
    void computeCross() { path.computeCross(); }

    // The geometry in use: a Bezier curve needs the curve flag and 3 points.
    const PathShape& shape() const { return PathShape::forPath(path, curveFlag); }
    // Frames of the first and last point (0, 0 without points).
    int32_t spanFirst() const;
    int32_t spanLast() const;

    // Places the thumb at the document's current frame and updates the facing.
    void updateThumb();
    // How far (x, y) is from the path, or from its thumb with grabFromThumb.
    int32_t grabDistance(int32_t x, int32_t y);
    bool nextThumb();
    // Without a state picture the rectangle becomes the points' bounding box.
    void fitRectangle();
    bool hasStatePicture() const;
    // The picture of a state 0..2 (others are ignored); a 0 x 0 rectangle
    // takes its size.
    void setStatePicture(int32_t state, ImageResource* resource);
    void clearStatePicture(int32_t state);
    // The state the path is drawn in now (0 normal, 1 highlighted, 2 pressed).
    int32_t currentState() const;

    Path path;
    std::array<ImageResource*, kDragPathStates> statePictures{};
    std::array<int32_t, kDragPathStates> stateColours{};  // 0xRRGGBB
    std::array<int32_t, kDragPathStates> stateWidths{};   // 0: no line, no arrows
    int32_t arrowMode = 0;
    int32_t curveFlag = 0;
    int32_t grabLimit = 0;  // grab distance setting; below 1: any distance
    int32_t grabFromThumb = 0;
    std::vector<ImageResource*> thumbs;
    int32_t currentThumb = 0;
    int32_t thumbX = 0;
    int32_t thumbY = 0;
    int32_t thumbDx = 0;
    int32_t thumbDy = 0;
    int32_t keepThumb = 0;
    int32_t facing = 0;  // 1: the thumb last moved towards larger x
    int32_t thumbDirection = kThumbFixed;
    int32_t newlyShown = 0;

protected:
    // ".ODMI0".. ".ODMTD"; the ".P" records end the block.
    int32_t readOwn(ProjectReader& in) override;
};

// The enabled drag path visible at the current frame that is nearest to
// (x, y) within its grab distance; null outside the stage or when none is.
DragPath* pickPath(Document& document, int32_t x, int32_t y);
// The play tool's drag: maps the pointer on the active path (handing over to
// another path where allowed) and seeks the coded frame at or before it.
// False when there is nothing to drag.
bool dragTo(Document& document, int32_t x, int32_t y);

}  // namespace tavlin
