// The drawing tool's six kinds, the tool table and the editing commands,
// with the shipped button pictures.

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "document/document.h"
#include "document/drag_path.h"
#include "editor/draw_tool.h"
#include "editor/edit_tool.h"
#include "editor/editor_tools.h"
#include "document/event.h"
#include "document/media_resource.h"
#include "editor/play_tool.h"
#include "document/project_file.h"
#include "document/video_object.h"
#include "support/document_fakes.h"
#include "support/gui_app.h"
#include "editor_tools_fake_view.h"
#include "media/image/image_formats.h"
#include "media/media_registry.h"
#include "base/paths.h"
#include "core/prompts.h"
#include "core/resource_folder.h"

namespace tavlin {
namespace {

std::string shippedRes() {
    if (const char* src = std::getenv("TAVLIN_TEST_SRC"); src && *src) return joinPath(src, "res");
    return joinPath(executableDir(), "res");
}

std::vector<int32_t> framesOf(const DragPath& path) {
    std::vector<int32_t> frames;
    for (const PathPoint& p : path.path.points()) frames.push_back(p.frame);
    return frames;
}

std::string pictureName(const DragPath& path, int32_t state) {
    const ImageResource* r = path.statePictures[size_t(state)];
    if (!r) return "";
    size_t slash = r->name.rfind('/');
    return slash == std::string::npos ? r->name : r->name.substr(slash + 1);
}

class DrawToolTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fileExists(joinPath(shippedRes(), "playbutton.png"))) GTEST_SKIP() << "no res folder at " << shippedRes();
        test::ensureGuiApp();
        clearRegistry();
        registerImageFormats();
        clearMediaFolders();
        installPrompts(&prompts);
        resources().Open(shippedRes());
        w.doc.setEditMode(true);
        w.doc.inPoint = 20;
        w.doc.outPoint = 40;
    }
    void TearDown() override {
        // Other tests expect string ids to stand for themselves.
        resources().Open("");
        installPrompts(nullptr);
        clearMediaFolders();
        clearRegistry();
    }

    DragPath* pathAt(size_t index) {
        if (index >= w.doc.objects.size() || w.doc.objects[index]->kind() != kDragPath) return nullptr;
        return static_cast<DragPath*>(w.doc.objects[index].get());
    }

    VideoObject* addVideo(int32_t x, int32_t y, int32_t width, int32_t height) {
        return test::addTestVideo(w.doc, x, y, width, height);
    }

    test::RecordingPrompts prompts;
    test::Wired w;
    test::FakeEditorView view{&w.doc};
};

TEST_F(DrawToolTest, PlayButtonGetsItsEventAndStopButtonAndRefusesAnOverlap) {
    DrawTool tool(kDrawPlayButton);
    view.tool = &tool;
    view.gesture(tool, {{100, 100}, {120, 110}, {140, 120}});

    ASSERT_EQ(w.doc.objects.size(), 2u);
    DragPath* stop = pathAt(0);
    DragPath* play = pathAt(1);
    ASSERT_TRUE(stop && play);

    EXPECT_EQ(play->ranges, (std::vector<FrameRange>{{20, 20}, {40, 40}}));
    EXPECT_EQ(framesOf(*play), (std::vector<int32_t>{21, 21}));
    EXPECT_EQ(play->left, 100);
    EXPECT_EQ(play->top, 100);
    EXPECT_EQ(play->width, 40);
    EXPECT_EQ(play->height, 20);
    EXPECT_EQ(play->point(0)->x, 100);
    EXPECT_EQ(play->point(0)->y, 110);
    EXPECT_EQ(play->point(1)->x, 140);
    for (int32_t s = 0; s < kDragPathStates; ++s) EXPECT_EQ(pictureName(*play, s), "playbutton.png");

    ASSERT_EQ(w.doc.events.size(), 1u);
    EXPECT_EQ(w.doc.events[0]->kind(), kPlayEvent);
    EXPECT_EQ(w.doc.events[0]->first, 21);
    EXPECT_EQ(w.doc.events[0]->last, 40);

    EXPECT_EQ(stop->ranges, (std::vector<FrameRange>{{21, 39}}));
    EXPECT_EQ(framesOf(*stop), (std::vector<int32_t>{20, 20}));
    EXPECT_EQ(stop->left, 100);
    EXPECT_EQ(stop->width, 40);
    EXPECT_EQ(stop->height, 20);
    EXPECT_EQ(stop->point(1)->x, 140);
    EXPECT_EQ(stop->selected, 1);
    EXPECT_NE(stop->name, play->name);
    for (int32_t s = 0; s < kDragPathStates; ++s) EXPECT_EQ(pictureName(*stop, s), "stopbutton.png");

    EXPECT_EQ(view.infoObject, stop);
    EXPECT_EQ(w.doc.editMode, 1);
    EXPECT_EQ(view.tool, &tool);  // stays for the next one
    EXPECT_EQ(w.doc.mouseDown, 0);
    EXPECT_TRUE(prompts.messages.empty());

    // A second play button over 30..50 would play into the first one's frames.
    w.doc.inPoint = 30;
    w.doc.outPoint = 50;
    int32_t snapshots = w.doc.history.position;
    view.gesture(tool, {{10, 10}, {50, 50}});
    EXPECT_EQ(prompts.messages, (std::vector<std::string>{resources().String("e_ev_overlap")}));
    EXPECT_EQ(w.doc.objects.size(), 2u);
    EXPECT_EQ(w.doc.events.size(), 1u);
    EXPECT_EQ(w.doc.history.position, snapshots);
    EXPECT_EQ(w.doc.mouseDown, 0);

    // In and out the other way round are the same range.
    w.doc.inPoint = 50;
    w.doc.outPoint = 30;
    view.gesture(tool, {{10, 10}, {50, 50}});
    EXPECT_EQ(prompts.messages.size(), 2u);
    EXPECT_EQ(w.doc.objects.size(), 2u);

    // Right after the first one's range it fits, and a click is 16 x 16.
    w.doc.inPoint = 40;
    w.doc.outPoint = 60;
    view.gesture(tool, {{200, 200}});
    ASSERT_EQ(w.doc.objects.size(), 4u);
    ASSERT_EQ(w.doc.events.size(), 2u);
    EXPECT_EQ(w.doc.events[1]->first, 41);
    const DragPath* small = pathAt(1);
    ASSERT_TRUE(small);
    EXPECT_EQ(small->width, 16);
    EXPECT_EQ(small->height, 16);
    EXPECT_EQ(small->point(0)->y, 208);
    EXPECT_EQ(small->point(1)->x, 216);
}

TEST_F(DrawToolTest, JumpButtonShowsOnlyAtTheCurrentFrameAndJumpsToTheOutPoint) {
    w.doc.currentFrame = 7;
    DrawTool tool(kDrawJumpButton);
    view.gesture(tool, {{60, 60}, {30, 70}});  // dragged up-left: the minimum size
    ASSERT_EQ(w.doc.objects.size(), 1u);
    const DragPath* jump = pathAt(0);
    EXPECT_EQ(jump->ranges, (std::vector<FrameRange>{{7, 7}}));
    EXPECT_EQ(framesOf(*jump), (std::vector<int32_t>{40, 40}));
    EXPECT_EQ(jump->left, 60);
    EXPECT_EQ(jump->width, 16);
    EXPECT_EQ(jump->height, 16);
    EXPECT_EQ(pictureName(*jump, 0), "jumpbutton.png");
    EXPECT_TRUE(w.doc.events.empty());
    EXPECT_TRUE(w.doc.canUndo());
}

TEST_F(DrawToolTest, FreeHandPathIsThinnedAndSpreadOverInToOut) {
    w.doc.inPoint = 0;
    w.doc.outPoint = 99;
    DrawTool tool(kDrawFreeHand);
    std::vector<std::pair<int32_t, int32_t>> stroke;
    for (int32_t x = 10; x <= 138; ++x) stroke.push_back({x, 100});
    view.gesture(tool, stroke);
    ASSERT_EQ(w.doc.objects.size(), 1u);
    const DragPath* path = pathAt(0);
    EXPECT_EQ(framesOf(*path), (std::vector<int32_t>{0, 24, 49, 74, 99}));
    EXPECT_EQ(path->point(4)->x, 138);
    EXPECT_EQ(path->left, 10);
    EXPECT_EQ(path->width, 129);
    EXPECT_EQ(path->ranges, (std::vector<FrameRange>{{0, 99}}));
    EXPECT_EQ(path->selected, 1);
    EXPECT_GT(w.doc.codedFrameCount(), 0);

    // A click without movement draws nothing, and leaves no step to undo.
    int32_t steps = w.doc.history.position;
    view.gesture(tool, {{5, 5}});
    EXPECT_EQ(w.doc.objects.size(), 1u);
    EXPECT_EQ(w.doc.history.position, steps);
}

TEST_F(DrawToolTest, OvalAndLinesFollowTheDraggedBox) {
    DrawTool oval(kDrawOval);
    view.gesture(oval, {{100, 100}, {140, 120}});
    const DragPath* o = pathAt(0);
    ASSERT_EQ(o->count(), 5);
    std::vector<std::pair<int32_t, int32_t>> at;
    for (const PathPoint& p : o->path.points()) at.push_back({p.x, p.y});
    EXPECT_EQ(at, (std::vector<std::pair<int32_t, int32_t>>{{120, 100}, {100, 110}, {120, 120}, {140, 110}, {120, 100}}));
    EXPECT_EQ(framesOf(*o), (std::vector<int32_t>{20, 25, 30, 35, 40}));
    EXPECT_EQ(o->width, 41);

    DrawTool vertical(kDrawVerticalLine);
    view.gesture(vertical, {{50, 10}, {60, 90}});
    const DragPath* v = pathAt(0);
    EXPECT_EQ(v->point(1)->x, 50);
    EXPECT_EQ(v->point(1)->y, 90);
    EXPECT_EQ(framesOf(*v), (std::vector<int32_t>{20, 40}));

    DrawTool horizontal(kDrawHorizontalLine);
    view.gesture(horizontal, {{10, 50}, {90, 70}});
    const DragPath* h = pathAt(0);
    EXPECT_EQ(h->point(1)->x, 90);
    EXPECT_EQ(h->point(1)->y, 50);
    EXPECT_EQ(h->height, 1);
    EXPECT_EQ(w.doc.selectedCount(), 1);
}

TEST_F(DrawToolTest, ObjectsBehindTheNewPathAreLockedAndNoLongerHovered) {
    VideoObject* behind = addVideo(0, 0, 320, 240);
    DragPath* olderPath = static_cast<DragPath*>(w.doc.addObject(std::make_unique<DragPath>(w.doc)));
    VideoObject* front = addVideo(200, 150, 100, 80);
    behind->selected = 1;
    olderPath->selected = 1;
    ASSERT_LT(w.doc.indexOf(front), w.doc.indexOf(olderPath));

    DrawTool tool(kDrawHorizontalLine);
    view.gesture(tool, {{20, 20}, {100, 20}});
    ASSERT_EQ(w.doc.objects.size(), 4u);
    EXPECT_EQ(behind->locked, 1);
    EXPECT_EQ(behind->selected, 0);
    EXPECT_EQ(olderPath->locked, 0);
    EXPECT_EQ(front->locked, 0);

    EditTool edit;
    edit.hover(view, 50, 100);
    EXPECT_EQ(edit.liveHovered(w.doc), nullptr);
    edit.press(view, 50, 100, 0);
    edit.release(view, 50, 100);
    EXPECT_EQ(behind->selected, 0);
    edit.hover(view, 250, 180);
    EXPECT_EQ(edit.liveHovered(w.doc), front);
}

TEST_F(DrawToolTest, DrawingCursorIsMadeOnceFromItsPicture) {
    DrawTool tool(kDrawFreeHand);
    tool.hover(view, 1, 1);
    tool.hover(view, 2, 2);
    ASSERT_EQ(view.madeCursors.size(), 1u);
    EXPECT_EQ(view.madeCursors[0].x, 0);
    EXPECT_EQ(view.madeCursors[0].y, 0);
    EXPECT_EQ(view.cursors, (std::vector<int32_t>{21, 21}));
}

TEST_F(DrawToolTest, AnUndoWhileDrawingDropsTheHalfDrawnPathSafely) {
    DrawTool tool(kDrawFreeHand);
    tool.hover(view, 10, 10);
    tool.press(view, 10, 10, 0);
    tool.drag(view, 20, 10, 0);
    w.doc.undo();
    tool.drag(view, 30, 10, 0);
    tool.release(view, 40, 10);
    EXPECT_TRUE(w.doc.objects.empty());
    EXPECT_EQ(w.doc.mouseDown, 0);
}

TEST_F(DrawToolTest, DefaultPathRunsAcrossTheMiddleFromInToOut) {
    addDefaultPath(view);
    ASSERT_EQ(w.doc.objects.size(), 1u);
    const DragPath* path = pathAt(0);
    ASSERT_EQ(path->count(), 2);
    EXPECT_EQ(path->point(0)->x, 106);
    EXPECT_EQ(path->point(0)->y, 120);
    EXPECT_EQ(path->point(0)->frame, 20);
    EXPECT_EQ(path->point(1)->x, 213);
    EXPECT_EQ(path->point(1)->frame, 40);
    EXPECT_FALSE(path->point(1)->handOver());
    EXPECT_EQ(path->ranges, (std::vector<FrameRange>{{0, w.doc.length - 1}}));
    EXPECT_EQ(path->width, 0);
    EXPECT_EQ(path->selected, 1);
    EXPECT_EQ(view.infoObject, path);
    EXPECT_EQ(view.tool, editorTool(kEditToolEntry));
    EXPECT_TRUE(w.doc.canUndo());
    w.doc.undo();
    EXPECT_TRUE(w.doc.objects.empty());
}

TEST_F(DrawToolTest, FlipReversesPositionsButNotFrames) {
    auto make = [this](std::vector<std::vector<int32_t>> points) {
        auto path = std::make_unique<DragPath>(w.doc);
        for (const auto& p : points) path->addPoint(p[0], p[1], p[2], true);
        path->computeCross();
        path->ranges.push_back({0, 99});
        return static_cast<DragPath*>(w.doc.addObject(std::move(path)));
    };
    DragPath* odd = make({{0, 0, 0}, {10, 0, 10}, {20, 5, 20}});
    DragPath* even = make({{0, 0, 0}, {30, 40, 99}});
    DragPath* other = make({{0, 0, 0}, {50, 0, 99}});
    odd->selected = even->selected = 1;

    flipSelectedPaths(view);
    std::vector<std::pair<int32_t, int32_t>> at;
    for (const PathPoint& p : odd->path.points()) at.push_back({p.x, p.y});
    EXPECT_EQ(at, (std::vector<std::pair<int32_t, int32_t>>{{20, 5}, {10, 0}, {0, 0}}));
    EXPECT_EQ(framesOf(*odd), (std::vector<int32_t>{0, 10, 20}));
    EXPECT_EQ(even->point(0)->x, 30);
    EXPECT_EQ(even->point(1)->y, 0);
    EXPECT_EQ(other->point(1)->x, 50);

    // The cross directions are those of the flipped points.
    Path fresh;
    fresh.addPoint(20, 5, 0, true);
    fresh.addPoint(10, 0, 10, true);
    fresh.addPoint(0, 0, 20, true);
    fresh.computeCross();
    EXPECT_DOUBLE_EQ(odd->point(0)->cx, fresh.point(0)->cx);
    EXPECT_DOUBLE_EQ(odd->point(2)->cy, fresh.point(2)->cy);

    // A flip is a change that undo takes back and closing offers to save.
    EXPECT_TRUE(w.doc.canUndo());
    w.doc.undo();
    EXPECT_EQ(pathAt(0)->point(0)->x, 0);
}

TEST_F(DrawToolTest, ToolTableAndToolBoxButtons) {
    EXPECT_NE(dynamic_cast<PlayTool*>(editorTool(0)), nullptr);
    EXPECT_NE(dynamic_cast<EditTool*>(editorTool(1)), nullptr);
    const int32_t kinds[][2] = {{4, kDrawPlayButton}, {5, kDrawJumpButton}, {8, kDrawFreeHand},
                                {9, kDrawOval},       {10, kDrawVerticalLine}, {11, kDrawHorizontalLine}};
    for (const auto& [entry, kind] : kinds) {
        auto* draw = dynamic_cast<DrawTool*>(editorTool(entry));
        ASSERT_NE(draw, nullptr) << entry;
        EXPECT_EQ(draw->kind, kind);
    }
    for (int32_t empty : {-1, 2, 3, 6, 7, 12, 13}) EXPECT_EQ(editorTool(empty), nullptr) << empty;
    EXPECT_EQ(editorTool(8), editorTool(8));

    w.doc.playSpeed = 50;
    EXPECT_TRUE(toolboxCommand(view, 0));
    EXPECT_EQ(w.doc.editMode, 0);
    EXPECT_EQ(w.doc.playSpeed, 100);
    EXPECT_EQ(view.tool, editorTool(0));
    EXPECT_EQ(view.toolboxRefreshes, 1);

    EXPECT_TRUE(toolboxCommand(view, 9));
    EXPECT_EQ(w.doc.editMode, 1);
    EXPECT_EQ(view.tool, editorTool(9));

    EXPECT_FALSE(toolboxCommand(view, 2));  // the imports are the media commands' business
    EXPECT_FALSE(toolboxCommand(view, 3));
    EXPECT_FALSE(toolboxCommand(view, 13));
}

TEST_F(DrawToolTest, FrameCodeCommandsFixAndReleaseTheCurrentFrame) {
    w.doc.currentFrame = 5;
    setCurrentFrameCode(view, kFrameCodeCommandCodes[1]);
    EXPECT_EQ(w.doc.frameFlags[5], kKeyFrame | kFixedMark);
    EXPECT_EQ(w.doc.frameFlags[4] & kFixedMark, 0);
    EXPECT_EQ(view.timelineRefreshes, 1);
    EXPECT_TRUE(w.doc.canUndo());

    setCurrentFrameCode(view, kFrameCodeCommandCodes[0]);
    EXPECT_EQ(w.doc.frameFlags[5], kDiffFrame | kFixedMark);
    setCurrentFrameCode(view, kFrameCodeCommandCodes[4]);
    EXPECT_EQ(w.doc.frameFlags[5] & kFixedMark, 0);
    setCurrentFrameCode(view, 9);  // no such command
    EXPECT_EQ(view.timelineRefreshes, 3);
}

}  // namespace
}  // namespace tavlin
