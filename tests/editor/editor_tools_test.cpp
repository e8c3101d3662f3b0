// The edit and play tools driven through a fake view: what the pointer finds,
// what a press selects, and how drags move, resize and reshape.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <vector>

#include "document/document.h"
#include "document/project_file.h"
#include "document/drag_path.h"
#include "editor/edit_tool.h"
#include "editor/editor_tools.h"
#include "document/event.h"
#include "editor/play_tool.h"
#include "document/video_object.h"
#include "support/document_fakes.h"
#include "support/gui_app.h"
#include "editor_tools_fake_view.h"
#include "core/prompts.h"

namespace tavlin {
namespace {

class EditToolTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::ensureGuiApp();
        installPrompts(&prompts);
        w.doc.setEditMode(true);
    }
    void TearDown() override { installPrompts(nullptr); }

    DragPath* addPath(std::vector<std::vector<int32_t>> points) {
        auto path = std::make_unique<DragPath>(w.doc);
        for (const auto& p : points) path->addPoint(p[0], p[1], p[2], true);
        path->computeCross();
        path->fitRectangle();
        path->ranges.push_back({0, w.doc.length - 1});
        path->grabLimit = 30;
        return static_cast<DragPath*>(w.doc.addObject(std::move(path)));
    }

    VideoObject* addVideo(int32_t x, int32_t y, int32_t width, int32_t height) {
        return test::addTestVideo(w.doc, x, y, width, height);
    }

    test::RecordingPrompts prompts;
    test::Wired w;
    test::FakeEditorView view{&w.doc};
    EditTool tool;
};

TEST(EditingTolerance, FollowsTheZoomAndVanishesWithoutOne) {
    EXPECT_EQ(editingTolerance(1.0), 4);
    EXPECT_EQ(editingTolerance(2.0), 2);
    EXPECT_EQ(editingTolerance(4.0), 1);
    EXPECT_EQ(editingTolerance(0.5), 8);
    EXPECT_EQ(editingTolerance(64.0), 1);
    EXPECT_EQ(editingTolerance(0.0), 0);
    EXPECT_EQ(editingTolerance(-2.0), 0);
    EXPECT_EQ(editingTolerance(std::nan("")), 0);
    // A vanishing zoom saturates instead of overflowing.
    EXPECT_EQ(editingTolerance(1e-300), std::numeric_limits<int32_t>::max());
}

TEST_F(EditToolTest, AtZoomTwoAPressThreePixelsAwayGrabsNothing) {
    DragPath* path = addPath({{100, 100, 0}, {200, 100, 99}});
    view.zoomFactor = 2.0;

    // 3 px off the point diagonally, and 3 px off the segment's start.
    tool.hover(view, 97, 97);
    EXPECT_NE(view.cursor(), kCursorPoint);
    tool.hover(view, 100, 103);
    EXPECT_NE(view.cursor(), kCursorSegment);
    EXPECT_NE(view.cursor(), kCursorPoint);
    view.gesture(tool, {{97, 97}, {150, 150}});
    EXPECT_EQ(path->point(0)->x, 100);
    EXPECT_EQ(path->point(0)->y, 100);
    EXPECT_EQ(path->selected, 0);

    // 2 px is within reach at zoom 2; 3 px is at zoom 1.
    tool.hover(view, 102, 98);
    EXPECT_EQ(view.cursor(), kCursorPoint);
    view.zoomFactor = 1.0;
    view.gesture(tool, {{97, 97}, {90, 80}});
    EXPECT_EQ(path->point(0)->x, 90);
    EXPECT_EQ(path->point(0)->y, 80);
    EXPECT_EQ(path->selected, 1);
    EXPECT_EQ(path->point(1)->x, 200);
    EXPECT_EQ(path->left, 90);  // the rectangle follows the points
}

TEST_F(EditToolTest, ZoomZeroLeavesEverythingAlone) {
    VideoObject* video = addVideo(0, 0, 100, 100);
    view.zoomFactor = 0.0;
    view.gesture(tool, {{50, 50}, {80, 80}});
    EXPECT_TRUE(view.cursors.empty());
    EXPECT_EQ(video->selected, 0);
    EXPECT_EQ(video->left, 0);
    EXPECT_FALSE(w.doc.canUndo());
    EXPECT_EQ(w.doc.mouseDown, 0);
}

TEST_F(EditToolTest, SelectedObjectsMoveTogetherAndAnUnselectedOneIsSelectedAlone) {
    VideoObject* c = addVideo(200, 10, 50, 50);
    VideoObject* b = addVideo(100, 10, 50, 50);
    VideoObject* a = addVideo(10, 10, 50, 50);
    a->selected = b->selected = 1;

    tool.hover(view, 30, 30);
    EXPECT_EQ(view.cursor(), kCursorMove);
    tool.press(view, 30, 30, 0);
    EXPECT_EQ(w.doc.mouseDown, 1);
    tool.drag(view, 33, 34, 0);
    tool.drag(view, 35, 37, 0);
    tool.release(view, 35, 37);
    EXPECT_EQ(w.doc.mouseDown, 0);
    EXPECT_EQ(a->left, 15);
    EXPECT_EQ(a->top, 17);
    EXPECT_EQ(b->left, 105);
    EXPECT_EQ(b->top, 17);
    EXPECT_EQ(c->left, 200);
    EXPECT_EQ(a->selected + b->selected, 2);
    EXPECT_EQ(view.infoCloses, 1);  // two selected: no information window
    EXPECT_TRUE(w.doc.canUndo());

    view.gesture(tool, {{220, 30}});
    EXPECT_EQ(c->selected, 1);
    EXPECT_EQ(a->selected + b->selected, 0);
    EXPECT_EQ(view.infoObject, c);

    // Control adds to the selection and takes away again.
    view.gesture(tool, {{30, 30}}, kModifierControl);
    EXPECT_EQ(a->selected, 1);
    EXPECT_EQ(c->selected, 1);
    EXPECT_EQ(view.infoObject, nullptr);
    view.gesture(tool, {{30, 30}}, kModifierControl);
    EXPECT_EQ(a->selected, 0);
    EXPECT_EQ(view.infoObject, c);
}

TEST_F(EditToolTest, ShiftOnAVideoCornerKeepsThreeQuarters) {
    VideoObject* video = addVideo(0, 0, 320, 240);
    tool.hover(view, 319, 239);
    EXPECT_EQ(view.cursor(), kCursorResizeFalling);
    tool.press(view, 319, 239, kModifierShift);
    tool.drag(view, 359, 244, kModifierShift);
    EXPECT_EQ(video->width, 360);
    EXPECT_EQ(video->height, 270);
    EXPECT_GE(view.infoRefreshes, 1);
    // Pushed past the opposite corner it stays one pixel wide.
    tool.drag(view, -100, 0, kModifierShift);
    EXPECT_EQ(video->width, 1);
    EXPECT_EQ(video->height, 1);
    tool.release(view, -100, 0);

    video->setRect(0, 0, 320, 240);
    tool.hover(view, 319, 1);
    EXPECT_EQ(view.cursor(), kCursorResizeRising);
    view.gesture(tool, {{319, 1}, {339, 11}});  // without Shift the sides go their own ways
    EXPECT_EQ(video->top, 10);
    EXPECT_EQ(video->width, 340);
    EXPECT_EQ(video->height, 230);
}

TEST_F(EditToolTest, ShiftDragsAPointAgainstItsNeighbour) {
    DragPath* path = addPath({{50, 50, 0}, {100, 100, 50}, {150, 100, 99}});
    tool.hover(view, 100, 100);
    EXPECT_EQ(view.cursor(), kCursorPoint);
    tool.press(view, 100, 100, kModifierShift);
    EXPECT_EQ(path->selected, 1);
    tool.drag(view, 60, 53, kModifierShift);
    EXPECT_EQ(path->point(1)->x, 60);
    EXPECT_EQ(path->point(1)->y, 50);
    tool.drag(view, 60, 58, kModifierShift);
    EXPECT_EQ(path->point(1)->x, 60);
    EXPECT_EQ(path->point(1)->y, 60);
    tool.drag(view, 53, 80, kModifierShift);  // mostly down: straight below
    EXPECT_EQ(path->point(1)->x, 50);
    EXPECT_EQ(path->point(1)->y, 80);
    tool.drag(view, 60, 42, kModifierShift);  // up and right: the rising diagonal
    EXPECT_EQ(path->point(1)->y, 40);
    tool.drag(view, 60, 58, kModifierShift);
    tool.release(view, 60, 58);
    EXPECT_EQ(path->count(), 3);

    // The first point is held against the second.
    view.gesture(tool, {{50, 50}, {70, 57}}, kModifierShift);
    EXPECT_EQ(path->point(0)->x, 70);
    EXPECT_EQ(path->point(0)->y, 60);
    EXPECT_EQ(path->point(0)->frame, 0);
}

TEST_F(EditToolTest, SegmentPressesSelectThenInsertAPointThatDropsOntoAnother) {
    DragPath* path = addPath({{0, 50, 0}, {100, 50, 100}});
    // Unselected: the press only selects.
    tool.hover(view, 50, 51);
    EXPECT_EQ(view.cursor(), kCursorSegment);
    view.gesture(tool, {{50, 51}});
    EXPECT_EQ(path->selected, 1);
    EXPECT_EQ(path->count(), 2);

    // Selected: a new point at the pointer, with the frame found there, which
    // the drag then carries.
    view.gesture(tool, {{50, 51}, {50, 80}});
    ASSERT_EQ(path->count(), 3);
    EXPECT_EQ(path->point(1)->x, 50);
    EXPECT_EQ(path->point(1)->y, 80);
    EXPECT_EQ(path->point(1)->frame, 50);
    EXPECT_FALSE(path->point(1)->handOver());
    EXPECT_EQ(path->height, 31);

    // Dropped onto the end point, the moved point merges into it.
    view.gesture(tool, {{50, 80}, {98, 52}});
    ASSERT_EQ(path->count(), 2);
    EXPECT_EQ(path->point(1)->x, 100);
    EXPECT_EQ(path->height, 1);

    // Control alone marks the segment's end for hand-over; Control and Shift
    // move instead of inserting.
    view.gesture(tool, {{50, 50}}, kModifierControl);
    EXPECT_TRUE(path->point(1)->handOver());
    EXPECT_EQ(path->count(), 2);
    view.gesture(tool, {{50, 50}, {60, 55}}, kModifierControl | kModifierShift);
    EXPECT_EQ(path->count(), 2);
    EXPECT_EQ(path->point(0)->x, 10);
    EXPECT_EQ(path->point(0)->y, 55);
    EXPECT_EQ(path->point(1)->x, 110);
}

TEST_F(EditToolTest, HoverSkipsLockedAndDisabledAndPrefersTheSelected) {
    VideoObject* back = addVideo(0, 0, 100, 100);
    VideoObject* front = addVideo(0, 0, 100, 100);
    ASSERT_LT(w.doc.indexOf(front), w.doc.indexOf(back));

    view.gesture(tool, {{50, 50}});
    EXPECT_EQ(front->selected, 1);
    front->selected = 0;
    back->selected = 1;
    view.gesture(tool, {{50, 50}, {55, 50}});
    EXPECT_EQ(back->left, 5);  // the selected one behind was grabbed
    EXPECT_EQ(front->left, 0);

    back->selected = 0;
    back->left = 0;
    front->locked = 1;
    view.gesture(tool, {{50, 50}});
    EXPECT_EQ(back->selected, 1);
    EXPECT_EQ(front->selected, 0);

    back->selected = 0;
    back->enabled = 0;
    int32_t snapshots = w.doc.history.position;
    view.cursors.clear();
    tool.hover(view, 50, 50);
    EXPECT_EQ(view.cursor(), kCursorArrow);  // the play tool found no path either
    tool.press(view, 50, 50, 0);
    EXPECT_EQ(back->selected + front->selected, 0);
    EXPECT_EQ(w.doc.history.position, snapshots);
}

TEST_F(EditToolTest, AnUndoBetweenHoverAndPressLeavesNoStaleObject) {
    addVideo(0, 0, 100, 100);
    w.doc.snapshot();
    tool.hover(view, 50, 50);
    ASSERT_NE(tool.liveHovered(w.doc), nullptr);
    w.doc.undo();  // every object is read back anew
    // The hovered id names an object that is gone, even if the new one sits
    // at the old address; the press grabs nothing and moves nothing.
    EXPECT_EQ(tool.liveHovered(w.doc), nullptr);
    std::string before = writeProject(w.doc);
    tool.press(view, 50, 50, 0);
    tool.drag(view, 60, 60, 0);
    tool.release(view, 60, 60);
    EXPECT_EQ(writeProject(w.doc), before);
}

class PlayToolTest : public EditToolTest {};

TEST_F(PlayToolTest, HoverPicksThePathAndDraggingMovesThroughItsFrames) {
    w.doc.setEditMode(false);
    DragPath* path = addPath({{0, 50, 0}, {100, 50, 99}});
    for (int32_t f = 0; f < w.doc.length; ++f) w.doc.fixFrameCodes(0, f, f, kFullFrame);
    w.doc.recomputeFrameCodes();
    PlayTool play;

    play.hover(view, 40, 52);
    EXPECT_EQ(w.doc.activeDragPath(), path);
    EXPECT_EQ(view.cursor(), kCursorGrab);
    play.press(view, 40, 52, 0);
    EXPECT_EQ(w.doc.mouseDown, 1);
    play.drag(view, 75, 52, 0);
    EXPECT_EQ(w.doc.currentFrame, 74);
    play.release(view, 75, 52);
    EXPECT_EQ(w.doc.mouseDown, 0);

    // A running play event that cannot be interrupted keeps the hover away.
    Event* event = w.doc.addEvent(kPlayEvent, 70, 90);
    w.doc.runningEvent[kPlayEvent] = event;
    play.hover(view, 300, 230);
    EXPECT_EQ(w.doc.activeDragPath(), path);
    w.doc.runningEvent[kPlayEvent] = nullptr;

    int redraws = view.redraws;
    play.hover(view, 300, 230);
    EXPECT_EQ(w.doc.activeDragPath(), nullptr);
    // Away from every path a press does nothing: the normal arrow.
    EXPECT_EQ(view.cursor(), kCursorArrow);
    EXPECT_EQ(view.redraws, redraws + 1);
}

TEST_F(PlayToolTest, TheEditToolHandsEmptyStageToThePlayTool) {
    DragPath* path = addPath({{0, 50, 0}, {100, 50, 99}});
    tool.hover(view, 40, 70);  // beyond the tolerance, within the grab distance
    EXPECT_EQ(w.doc.activeDragPath(), path);
    EXPECT_EQ(view.cursor(), kCursorGrab);
    tool.press(view, 40, 70, 0);
    EXPECT_EQ(path->selected, 0);
    EXPECT_FALSE(w.doc.canUndo());
    tool.release(view, 40, 70);
    EXPECT_EQ(w.doc.mouseDown, 0);
}

}  // namespace
}  // namespace tavlin
