#include "document/drag_path.h"

#include <gtest/gtest.h>

#include "render/object_painter.h"
#include "render/stage_test_helpers.h"

#include <memory>
#include <string>

#include "document/document.h"
#include "document/event.h"
#include "document/media_resource.h"
#include "document/project_text.h"
#include "core/settings.h"
#include "canvas/canvas.h"

namespace tavlin {
namespace {

using test::renderStage;
using test::stageOf;

constexpr uint32_t kWhite = 0xFFFFFFFFu;
constexpr uint32_t kRed = 0xFFFF0000u;
constexpr uint32_t kGreen = 0xFF00FF00u;

// A document with one horizontal path (40,120)-(280,120) over frames f0..f1,
// shown at frames 0..299.
struct Stage {
    explicit Stage(int32_t f0 = 0, int32_t f1 = 99) : doc(320, 240) {
        auto p = std::make_unique<DragPath>(doc);
        p->addPoint(40, 120, f0, true);
        p->addPoint(280, 120, f1, true);
        p->computeCross();
        p->ranges.push_back({0, 299});
        p->fitRectangle();
        path = static_cast<DragPath*>(doc.addObject(std::move(p)));
    }
    uint32_t px(int32_t x, int32_t y) { return stageOf(doc).image().at(x, y); }
    void render(int32_t frame) {
        doc.currentFrame = frame;
        renderStage(doc);
    }
    Document doc;
    DragPath* path;
};

std::unique_ptr<ImageResource> picture(int32_t w, int32_t h, uint32_t colour, const std::string& name) {
    auto r = std::make_unique<ImageResource>();
    r->image = std::make_unique<Image>(w, h);
    std::fill(r->image->pixels.begin(), r->image->pixels.end(), colour);
    r->name = name;
    return r;
}

// 4 x 2: the left half red, the right half green.
std::unique_ptr<ImageResource> halves() {
    auto r = picture(4, 2, kRed, "thumb.png");
    for (int y = 0; y < 2; ++y) r->image->at(2, y) = r->image->at(3, y) = kGreen;
    return r;
}

TEST(DragPathDrawing, StillStageSmoothsAndMovingStageDrawsSharp) {
    Stage s;
    s.render(50);  // play mode, nothing moves: smoothed in the normal colour
    uint32_t mid = s.px(160, 120);
    EXPECT_NE(mid, kWhite);
    EXPECT_EQ(mid >> 16 & 0xFF, 0xFFu);
    EXPECT_GT(mid & 0xFF, 0x80u);  // blended with the white stage, lighter than the colour
    EXPECT_LT(mid & 0xFF, 0xFFu);
    EXPECT_EQ(s.px(160, 123), kWhite);

    s.doc.editMode = 1;  // no smoothing while editing
    s.doc.setActiveDragPath(s.path);
    s.render(50);
    EXPECT_EQ(s.px(160, 120), kRed);
    EXPECT_EQ(s.px(160, 121), kWhite);

    // Default widths: the pressed state has none, so the line disappears.
    s.doc.editMode = 0;
    s.doc.mouseDown = 1;
    s.render(50);
    EXPECT_EQ(s.px(160, 120), kWhite);
    EXPECT_EQ(s.px(38, 120), kWhite);  // and so do the arrows
}

TEST(DragPathDrawing, PathsComingBackOnStageShowHighlightedUntilActive) {
    Stage s;
    s.doc.editMode = 1;
    s.path->ranges = {{10, 20}};
    s.render(50);
    EXPECT_EQ(s.path->newlyShown, 1);
    s.render(15);
    EXPECT_EQ(s.px(160, 120), kRed);  // highlighted although not active
    s.doc.setActiveDragPath(s.path);
    s.render(15);
    EXPECT_EQ(s.path->newlyShown, 0);
    s.doc.setActiveDragPath(nullptr);
    s.render(15);
    EXPECT_EQ(s.px(160, 120), 0xFFFF8080u);
}

TEST(DragPathDrawing, AutomaticArrowsPointTheWayStillToGo) {
    Stage s(0, 90);
    s.doc.editMode = 1;
    s.path->arrowMode = kArrowAuto;
    auto arrows = [&](int32_t frame) {
        s.render(frame);
        return std::pair{s.px(38, 120) != kWhite, s.px(282, 120) != kWhite};
    };
    EXPECT_EQ(arrows(20), (std::pair{false, true}));
    EXPECT_EQ(arrows(45), (std::pair{true, true}));
    EXPECT_EQ(arrows(70), (std::pair{true, false}));

    s.path->arrowMode = kArrowStart;
    EXPECT_EQ(arrows(20), (std::pair{true, false}));
    s.path->arrowMode = 0;
    EXPECT_EQ(arrows(45), (std::pair{false, false}));
}

TEST(DragPathDrawing, BezierPathsDrawTheCurveNotTheControlPolygon) {
    Document doc(320, 240);
    doc.editMode = 1;
    auto p = std::make_unique<DragPath>(doc);
    p->addPoint(40, 200, 0, true);
    p->addPoint(160, 20, 50, true);
    p->addPoint(280, 200, 99, true);
    p->computeCross();
    p->ranges.push_back({0, 99});
    p->stateWidths[0] = 2;
    p->arrowMode = 0;
    DragPath* path = static_cast<DragPath*>(doc.addObject(std::move(p)));
    renderStage(doc);
    EXPECT_NE(stageOf(doc).image().at(160, 20), kWhite);
    EXPECT_EQ(stageOf(doc).image().at(160, 110), kWhite);

    path->curveFlag = 1;
    renderStage(doc);
    EXPECT_EQ(stageOf(doc).image().at(160, 20), kWhite);
    EXPECT_NE(stageOf(doc).image().at(160, 110), kWhite);  // B(1/2) = (160, 110)

    doc.editMode = 0;  // smoothed, too
    renderStage(doc);
    EXPECT_EQ(stageOf(doc).image().at(160, 20), kWhite);
    EXPECT_NE(stageOf(doc).image().at(160, 110), kWhite);
}

TEST(DragPathDrawing, StatePicturesReplaceTheLine) {
    Stage s;
    s.doc.editMode = 1;
    auto blue = picture(10, 6, 0xFF0000FFu, "button.png");
    s.path->width = 0;
    s.path->height = 0;
    s.path->setStatePicture(kStateNormal, blue.get());
    EXPECT_EQ(s.path->width, 10);
    EXPECT_EQ(s.path->height, 6);
    EXPECT_EQ(s.path->mediaSize(), (Size{10, 6}));
    s.path->left = 100;  // not moveTo: the points stay
    s.path->top = 50;
    s.path->width = 20;
    s.path->height = 12;
    s.render(50);
    EXPECT_EQ(s.px(119, 61), 0xFF0000FFu);
    EXPECT_EQ(s.px(160, 120), kWhite);
    // The highlighted state has no picture: it draws the line.
    s.doc.setActiveDragPath(s.path);
    s.render(50);
    EXPECT_EQ(s.px(160, 120), kRed);
    EXPECT_EQ(s.px(119, 61), kWhite);

    s.path->clearStatePicture(kStateNormal);
    EXPECT_FALSE(s.path->hasStatePicture());
    EXPECT_EQ(s.path->left, 40);  // fitted to the points again
    EXPECT_EQ(s.path->width, 241);
    EXPECT_EQ(s.path->height, 1);
    s.path->setStatePicture(7, blue.get());  // no such state
    EXPECT_FALSE(s.path->hasStatePicture());
}

TEST(DragPathDrawing, ThumbsRideAlongFixedFlippedOrRotated) {
    Stage s(0, 240);
    s.doc.editMode = 1;
    s.path->stateWidths = {0, 0, 0};
    auto thumb = halves();
    s.path->thumbs.push_back(thumb.get());
    s.render(120);  // thumb centred on (160,120): x 158..161, y 119..120
    EXPECT_EQ(s.path->thumbX, 160);
    EXPECT_EQ(s.px(158, 119), kRed);
    EXPECT_EQ(s.px(161, 120), kGreen);
    EXPECT_EQ(s.px(157, 119), kWhite);

    s.path->thumbDirection = kThumbFlip;
    s.doc.lastThumbX = 0;
    s.render(120);  // moved towards larger x: mirrored
    EXPECT_EQ(s.path->facing, 1);
    EXPECT_EQ(s.px(158, 119), kGreen);
    EXPECT_EQ(s.px(161, 120), kRed);
    s.doc.lastThumbX = 300;
    s.render(120);
    EXPECT_EQ(s.path->facing, 0);
    EXPECT_EQ(s.px(158, 119), kRed);

    // Outside the path's frames the thumb hides unless kept.
    s.path->thumbDirection = kThumbFixed;
    s.path->ranges = {{0, 299}};
    s.render(250);
    EXPECT_EQ(s.px(158, 119), kWhite);
    s.path->keepThumb = 1;
    s.render(250);
    EXPECT_EQ(s.px(158, 119), kRed);  // stays where it last was
}

TEST(DragPathDrawing, RotatedThumbPointsItsRightSideAlongThePath) {
    Document doc(320, 240);
    doc.editMode = 1;
    auto p = std::make_unique<DragPath>(doc);
    p->addPoint(160, 0, 0, true);  // straight down
    p->addPoint(160, 240, 240, true);
    p->computeCross();
    p->ranges.push_back({0, 99});
    p->stateWidths = {0, 0, 0};
    p->thumbDirection = kThumbRotate;
    auto thumb = halves();
    p->thumbs.push_back(thumb.get());
    doc.addObject(std::move(p));
    doc.currentFrame = 60;
    renderStage(doc);
    const Image& img = stageOf(doc).image();
    EXPECT_EQ(img.at(160, 58), kRed);
    EXPECT_EQ(img.at(160, 61), kGreen);
    EXPECT_EQ(img.at(158, 58), kWhite);

    EXPECT_EQ(rotatedThumb(*thumb->image, 0, 0), nullptr);
    Image wide(70000, 1);
    EXPECT_EQ(rotatedThumb(wide, 1, 1), nullptr);  // the square would be too big: drawn as it is
}

TEST(DragPathDrawing, GrabZoneShowsForTheSelectedPathWhileEditing) {
    Stage s;
    s.doc.editMode = 1;
    s.path->grabLimit = 10;
    s.render(50);
    EXPECT_EQ(s.px(160, 127), kWhite);
    s.path->selected = 1;
    s.render(50);
    EXPECT_EQ(s.px(160, 127), 0xFFC0C0C0u);
    EXPECT_EQ(s.px(160, 135), kWhite);
    s.path->grabFromThumb = 1;
    s.render(50);  // a circle around the thumb instead
    EXPECT_EQ(s.px(161, 127), 0xFFC0C0C0u);
    EXPECT_EQ(s.px(60, 127), kWhite);
}

TEST(DragPathDrawing, TimelineBarShowsRangesSegmentsAndPoints) {
    Document doc(320, 240);
    DragPath p(doc);
    p.addPoint(0, 0, 0, true);
    p.addPoint(10, 0, 50, true);
    p.addPoint(20, 0, 60, false);
    p.ranges.push_back({0, 99});
    Canvas c(400, 40);
    TimelineArea tl;
    tl.canvas = &c;
    tl.zoom = 2;
    tl.width = 400;
    tl.barHeight = 10;
    drawTimelineBar(tl, p, 5);
    EXPECT_EQ(c.image().at(300, 10), kGreen);  // the range bar
    EXPECT_EQ(c.image().at(190, 8), kRed);     // ordinary segment
    EXPECT_EQ(c.image().at(250, 8), 0xFF000000u);  // hand-over segment
    EXPECT_EQ(c.image().at(241, 5), 0xFF0000FFu);  // point mark, 2 wide at zoom 2
    EXPECT_EQ(c.image().at(242, 6), kGreen);
}

// --- editing ----------------------------------------------------------------

}  // namespace
}  // namespace tavlin
