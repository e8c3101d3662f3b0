// The stage of the studio's main window under a user's mouse and keys: each
// drawing tool chosen in the tool box, play and jump buttons with their
// frames, the free-hand path's thinning, the edit tool's reach and its Shift
// constraints, locking what lies behind a new path, undo and redo, the save
// question on New, and the start-up that opens the file it is given.

#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <QPoint>

#include "document/document.h"
#include "document/drag_path.h"
#include "editor/editor_tools.h"
#include "document/event.h"
#include "document/image_object.h"
#include "document/media_resource.h"
#include "document/project_file.h"
#include "media/image.h"
#include "media/media_registry.h"
#include "base/paths.h"
#include "studio_fixture.h"
#include "studio_input.h"
#include "studio/main_window.h"
#include "studio/studio_app.h"
#include "studio/toolbox_window.h"

namespace tavlin {
namespace {

using test::StageMouse;
using test::StudioTest;

std::string fileNamePart(const std::string& path) { return std::filesystem::path(path).filename().string(); }

// Tool box buttons of the drawing tools.
constexpr int32_t kPlayModeButton = 0;
constexpr int32_t kEditModeButton = 1;
constexpr int32_t kPlayButtonButton = 4;
constexpr int32_t kJumpButtonButton = 5;
constexpr int32_t kInButton = 6;
constexpr int32_t kOutButton = 7;
constexpr int32_t kFreeHandButton = 8;
constexpr int32_t kOvalButton = 9;
constexpr int32_t kVerticalLineButton = 10;
constexpr int32_t kHorizontalLineButton = 11;

class StageToolsTest : public StudioTest {
protected:
    void SetUp() override {
        StudioTest::SetUp();
        if (IsSkipped()) return;
        window = std::make_unique<MainWindow>(80, 40, 400, 400);
        window->NewDocument();
        window->Show(true);
        box = window->ShowToolbox();
        ASSERT_NE(box, nullptr);
        mouse = std::make_unique<StageMouse>(*window);
    }
    void TearDown() override {
        if (window) window->Destroy();
        window.reset();
        StudioTest::TearDown();
    }
    Document& doc() { return *window->doc(); }
    void click(int32_t button) { test::clickToolbox(*box, button); }

    // The objects that came since `before` was taken, in list order.
    std::vector<MediaObject*> added(const std::set<MediaObject*>& before) {
        std::vector<MediaObject*> out;
        for (const auto& o : doc().objects)
            if (!before.count(o.get())) out.push_back(o.get());
        return out;
    }
    std::set<MediaObject*> objectSet() {
        std::set<MediaObject*> s;
        for (const auto& o : doc().objects) s.insert(o.get());
        return s;
    }
    // The one path a stroke drew.
    DragPath* drawOne(int32_t button, const std::vector<QPoint>& stroke) {
        click(button);
        auto before = objectSet();
        mouse->stroke(stroke);
        auto fresh = added(before);
        EXPECT_EQ(fresh.size(), 1u);
        if (fresh.size() != 1 || fresh[0]->kind() != kDragPath) return nullptr;
        return static_cast<DragPath*>(fresh[0]);
    }
    static std::vector<QPoint> pointsOf(const DragPath& path) {
        std::vector<QPoint> out;
        for (int32_t i = 0; i < path.count(); ++i) out.emplace_back(path.point(i)->x, path.point(i)->y);
        return out;
    }
    static std::vector<int32_t> framesOf(const DragPath& path) {
        std::vector<int32_t> out;
        for (int32_t i = 0; i < path.count(); ++i) out.push_back(path.point(i)->frame);
        return out;
    }
    // The colour the window shows at stage pixel (x, y).
    uint32_t shown(int32_t x, int32_t y) {
        QPoint p = mouse->at(x, y);
        const Image& back = window->canvas()->image();
        return back.pixels[size_t(p.y()) * size_t(back.width) + size_t(p.x())] & 0xFFFFFF;
    }
    // An image object showing a real w x h picture, in the rectangle given,
    // visible at every frame.
    ImageObject* addPicture(int32_t w, int32_t h, int32_t x, int32_t y, int32_t rw, int32_t rh) {
        auto picture = Image::create(w, h);
        if (!picture) return nullptr;
        for (uint32_t& px : picture->pixels) px = 0xFF3070A0;
        std::string file = scratch.file("picture.png");
        ImageFormat* png = findImageFormat(file);
        if (!png || !png->write(file, *picture)) return nullptr;
        auto* res = dynamic_cast<ImageResource*>(doc().loadResource(MediaKind::Image, file));
        if (!res) return nullptr;
        auto object = std::make_unique<ImageObject>(doc());
        object->attachImage(res);
        object->ranges = {{0, doc().length - 1}};
        object->setRect(x, y, rw, rh);
        auto* added = static_cast<ImageObject*>(doc().addObject(std::move(object)));
        window->Redraw();
        return added;
    }

    std::unique_ptr<MainWindow> window;
    ToolboxWindow* box = nullptr;
    std::unique_ptr<StageMouse> mouse;
};

TEST_F(StageToolsTest, EachToolboxDrawingToolDrawsItsKind) {
    // Free-hand: every point the pointer passes, thinned on release.
    DragPath* path = drawOne(kFreeHandButton, {{20, 20}, {60, 20}, {100, 20}, {100, 60}, {100, 100}});
    ASSERT_NE(path, nullptr);
    EXPECT_EQ(pointsOf(*path), (std::vector<QPoint>{{20, 20}, {60, 20}, {100, 20}, {100, 60}, {100, 100}}));
    EXPECT_TRUE(path->selected);
    EXPECT_EQ(shown(100, 100), 0x0000FFu) << "the selected path shows a handle on its last point";
    EXPECT_EQ(shown(20, 20), 0xFF0000u) << "and the current frame's place on its first";
    test::saveShot(*window, "mwt-freehand");

    // Oval: a closed diamond inscribed in the dragged box.
    path = drawOne(kOvalButton, {{140, 40}, {170, 60}, {200, 100}});
    ASSERT_NE(path, nullptr);
    EXPECT_EQ(pointsOf(*path), (std::vector<QPoint>{{170, 40}, {140, 70}, {170, 100}, {200, 70}, {170, 40}}));
    EXPECT_EQ(path->ranges.size(), 1u);
    test::saveShot(*window, "mwt-oval");

    // The lines keep their start and follow the pointer on one axis only.
    path = drawOne(kVerticalLineButton, {{230, 30}, {250, 90}, {260, 130}});
    ASSERT_NE(path, nullptr);
    EXPECT_EQ(pointsOf(*path), (std::vector<QPoint>{{230, 30}, {230, 130}}));
    EXPECT_EQ(framesOf(*path), (std::vector<int32_t>{0, 99}));
    test::saveShot(*window, "mwt-vline");
    path = drawOne(kHorizontalLineButton, {{30, 200}, {150, 228}});
    ASSERT_NE(path, nullptr);
    EXPECT_EQ(pointsOf(*path), (std::vector<QPoint>{{30, 200}, {150, 200}}));
    test::saveShot(*window, "mwt-hline");

    // A jump button: at least 16 pixels square, both points on the out point,
    // shown only at the current frame.
    doc().currentFrame = 3;
    path = drawOne(kJumpButtonButton, {{260, 180}, {265, 185}});
    ASSERT_NE(path, nullptr);
    EXPECT_EQ(path->left, 260);
    EXPECT_EQ(path->top, 180);
    EXPECT_EQ(path->width, 16);
    EXPECT_EQ(path->height, 16);
    EXPECT_EQ(pointsOf(*path), (std::vector<QPoint>{{260, 188}, {276, 188}}));
    EXPECT_EQ(framesOf(*path), (std::vector<int32_t>{99, 99}));
    ASSERT_EQ(path->ranges.size(), 1u);
    EXPECT_EQ(path->ranges[0].first, 3);
    EXPECT_EQ(path->ranges[0].last, 3);
    ASSERT_NE(path->statePictures[kStateNormal], nullptr);
    EXPECT_EQ(fileNamePart(path->statePictures[kStateNormal]->name), "jumpbutton.png");
    test::saveShot(*window, "mwt-jump");
    doc().currentFrame = 0;

    // A play button brings its stop button and its play event.
    click(kPlayButtonButton);
    auto before = objectSet();
    mouse->stroke({{200, 150}, {240, 180}});
    auto fresh = added(before);
    ASSERT_EQ(fresh.size(), 2u);
    EXPECT_EQ(doc().events.size(), 1u);
    for (MediaObject* o : fresh) {
        EXPECT_EQ(o->kind(), kDragPath);
        EXPECT_EQ(o->left, 200);
        EXPECT_EQ(o->top, 150);
        EXPECT_EQ(o->width, 40);
        EXPECT_EQ(o->height, 30);
        EXPECT_EQ(pointsOf(*static_cast<DragPath*>(o)), (std::vector<QPoint>{{200, 165}, {240, 165}}));
    }
    EXPECT_EQ(shown(200, 150), 0x00FFFFu) << "a selected button shows its corner handles";
    test::saveShot(*window, "mwt-playbutton");

    EXPECT_EQ(doc().objects.size(), 7u);
    EXPECT_EQ(window->activeTool(), editorTool(kPlayButtonButton)) << "the tool stays for the next one";
    EXPECT_TRUE(doc().editMode);
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(StageToolsTest, APlayButtonSpansTheInAndOutPointsAndRefusesAnOverlap) {
    doc().currentFrame = 20;
    click(kInButton);
    doc().currentFrame = 40;
    click(kOutButton);
    doc().currentFrame = 0;
    ASSERT_EQ(doc().inPoint, 20);
    ASSERT_EQ(doc().outPoint, 40);

    click(kPlayButtonButton);
    mouse->stroke({{100, 100}, {140, 130}});
    ASSERT_EQ(doc().objects.size(), 2u);
    const DragPath* play = nullptr;
    const DragPath* stop = nullptr;
    for (const auto& o : doc().objects) {
        const auto* p = static_cast<const DragPath*>(o.get());
        ASSERT_NE(p->statePictures[kStateNormal], nullptr);
        std::string picture = fileNamePart(p->statePictures[kStateNormal]->name);
        if (picture == "playbutton.png") play = p;
        if (picture == "stopbutton.png") stop = p;
    }
    ASSERT_NE(play, nullptr);
    ASSERT_NE(stop, nullptr);
    ASSERT_EQ(play->ranges.size(), 2u);
    EXPECT_EQ(play->ranges[0].first, 20);
    EXPECT_EQ(play->ranges[0].last, 20);
    EXPECT_EQ(play->ranges[1].first, 40);
    EXPECT_EQ(play->ranges[1].last, 40);
    EXPECT_EQ(framesOf(*play), (std::vector<int32_t>{21, 21}));
    ASSERT_EQ(stop->ranges.size(), 1u);
    EXPECT_EQ(stop->ranges[0].first, 21);
    EXPECT_EQ(stop->ranges[0].last, 39);
    EXPECT_EQ(framesOf(*stop), (std::vector<int32_t>{20, 20}));
    for (int32_t s = 0; s < kDragPathStates; ++s) {
        EXPECT_EQ(play->statePictures[s], play->statePictures[kStateNormal]) << "state " << s;
        EXPECT_EQ(stop->statePictures[s], stop->statePictures[kStateNormal]) << "state " << s;
    }
    ASSERT_EQ(doc().events.size(), 1u);
    EXPECT_EQ(doc().events[0]->kind(), kPlayEvent);
    EXPECT_EQ(doc().events[0]->first, 21);
    EXPECT_EQ(doc().events[0]->last, 40);

    // A second one over 31..40 is refused before anything is made.
    doc().currentFrame = 30;
    click(kInButton);
    doc().currentFrame = 0;
    size_t undoable = doc().history.snapshots.size();
    mouse->stroke({{200, 60}, {240, 90}});
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0], text("e_ev_overlap"));
    EXPECT_EQ(doc().objects.size(), 2u);
    EXPECT_EQ(doc().events.size(), 1u);
    EXPECT_EQ(doc().history.snapshots.size(), undoable) << "a refused button is no change";
    EXPECT_EQ(doc().mouseDown, 0);

    // In and out the other way round (in 40, out 25) make 26..40, which
    // still overlaps; 41..60 does not.
    doc().currentFrame = 40;
    click(kInButton);
    doc().currentFrame = 25;
    click(kOutButton);
    mouse->stroke({{200, 60}, {240, 90}});
    EXPECT_EQ(prompts.messages.size(), 2u);
    doc().currentFrame = 41;
    click(kInButton);
    doc().currentFrame = 60;
    click(kOutButton);
    doc().currentFrame = 0;
    mouse->stroke({{200, 60}, {240, 90}});
    EXPECT_EQ(prompts.messages.size(), 2u);
    ASSERT_EQ(doc().events.size(), 2u);
    EXPECT_EQ(doc().objects.size(), 4u);
}

TEST_F(StageToolsTest, AFreeHandPathThinnedToFivePointsSpreadsItsFrames) {
    ASSERT_EQ(doc().inPoint, 0);
    ASSERT_EQ(doc().outPoint, 99);
    // An L drawn slowly: a point every 4 pixels, 33 in all.
    std::vector<QPoint> stroke;
    for (int32_t x = 20; x <= 84; x += 4) stroke.emplace_back(x, 20);
    for (int32_t y = 24; y <= 84; y += 4) stroke.emplace_back(84, y);
    DragPath* path = drawOne(kFreeHandButton, stroke);
    ASSERT_NE(path, nullptr);
    EXPECT_EQ(pointsOf(*path), (std::vector<QPoint>{{20, 20}, {52, 20}, {84, 20}, {84, 52}, {84, 84}}));
    EXPECT_EQ(framesOf(*path), (std::vector<int32_t>{0, 24, 49, 74, 99}));
    EXPECT_EQ(path->ranges.size(), 1u);
    EXPECT_EQ(path->ranges[0].first, 0);
    EXPECT_EQ(path->ranges[0].last, doc().length - 1);
    test::saveShot(*window, "mwt-freehand-thinned");
}

TEST_F(StageToolsTest, TheEditToolReachesTwoStagePixelsAtZoomTwoAndEightAtHalf) {
    window->SetZoom(2);
    ASSERT_EQ(window->zoomFactor(), 2.0);
    DragPath* path = drawOne(kHorizontalLineButton, {{40, 50}, {120, 50}});
    ASSERT_NE(path, nullptr);
    ASSERT_EQ(pointsOf(*path), (std::vector<QPoint>{{40, 50}, {120, 50}}));
    click(kEditModeButton);
    ASSERT_EQ(window->activeTool(), editorTool(kEditToolEntry));

    // Three stage pixels (six on the screen) left of the first point, and
    // beyond the segment's end: nothing is grabbed.
    mouse->stroke({{37, 50}, {30, 60}});
    EXPECT_EQ(pointsOf(*path), (std::vector<QPoint>{{40, 50}, {120, 50}}));
    // Three below the middle of the segment: no point is inserted.
    mouse->stroke({{80, 53}, {80, 70}});
    EXPECT_EQ(path->count(), 2);

    // One pixel off the point grabs it.
    mouse->stroke({{39, 50}, {30, 60}});
    EXPECT_EQ(pointsOf(*path), (std::vector<QPoint>{{30, 60}, {120, 50}}));
    // Two off the (now slanted) segment of the selected path inserts a point
    // there, which the drag then carries.
    mouse->stroke({{75, 57}, {75, 90}});
    EXPECT_EQ(pointsOf(*path), (std::vector<QPoint>{{30, 60}, {75, 90}, {120, 50}}));

    // At half size, with the stage centred in the window, the reach is 8:
    // every screen pixel is two stage pixels.
    window->SetZoom(0.5);
    ASSERT_LT(window->scrollX(), 0);
    mouse->stroke({{30, 70}, {20, 80}});
    EXPECT_EQ(pointsOf(*path).front(), QPoint(30, 60)) << "10 away";
    mouse->stroke({{30, 68}, {20, 80}});
    EXPECT_EQ(pointsOf(*path).front(), QPoint(20, 80)) << "8 away";
}

TEST_F(StageToolsTest, ShiftPutsADraggedPointLevelOrOnTheDiagonal) {
    DragPath* path = drawOne(kHorizontalLineButton, {{50, 100}, {150, 100}});
    ASSERT_NE(path, nullptr);
    click(kEditModeButton);

    mouse->press(150, 100);
    mouse->dragTo(60, 103, Qt::ShiftModifier);
    EXPECT_EQ(pointsOf(*path)[1], QPoint(60, 100)) << "10 right, 3 down: level";
    mouse->dragTo(60, 108, Qt::ShiftModifier);
    EXPECT_EQ(pointsOf(*path)[1], QPoint(60, 110)) << "10 right, 8 down: the diagonal";
    mouse->dragTo(60, 92, Qt::ShiftModifier);
    EXPECT_EQ(pointsOf(*path)[1], QPoint(60, 90)) << "the diagonal upwards";
    mouse->dragTo(53, 130, Qt::ShiftModifier);
    EXPECT_EQ(pointsOf(*path)[1], QPoint(50, 130)) << "steep: straight below";
    mouse->dragTo(60, 108, Qt::ShiftModifier);
    mouse->release(60, 108, Qt::ShiftModifier);
    EXPECT_EQ(pointsOf(*path)[1], QPoint(60, 110)) << "the release keeps the constrained place";
    EXPECT_EQ(pointsOf(*path)[0], QPoint(50, 100));

    // Without Shift the point goes where the pointer is.
    mouse->press(60, 110);
    mouse->dragTo(63, 104);
    mouse->release(63, 104);
    EXPECT_EQ(pointsOf(*path)[1], QPoint(63, 104));

    // Point 0 is held against point 1.
    mouse->press(50, 100);
    mouse->dragTo(73, 107, Qt::ShiftModifier);
    mouse->release(73, 107, Qt::ShiftModifier);
    EXPECT_EQ(pointsOf(*path)[0], QPoint(73, 104));
}

TEST_F(StageToolsTest, ShiftOnACornerKeepsThePicturesProportions) {
    ImageObject* picture = addPicture(320, 240, 40, 40, 160, 120);
    ASSERT_NE(picture, nullptr);
    ASSERT_EQ(picture->mediaSize().width, 320);
    ASSERT_EQ(picture->mediaSize().height, 240);
    click(kEditModeButton);

    // The bottom-right corner, dragged 50 right and 10 down.
    mouse->press(199, 159);
    mouse->dragTo(249, 169, Qt::ShiftModifier);
    EXPECT_EQ(picture->left, 40);
    EXPECT_EQ(picture->top, 40);
    EXPECT_EQ(picture->width, 210);
    EXPECT_EQ(picture->height, 240 * 210 / 320);
    mouse->dragTo(229, 300, Qt::ShiftModifier);
    EXPECT_EQ(picture->width, 190);
    EXPECT_EQ(picture->height, 240 * 190 / 320) << "the height follows the width, not the pointer";
    mouse->release(229, 300, Qt::ShiftModifier);
    EXPECT_EQ(picture->height, 142);

    // The top-left corner without Shift follows the pointer freely.
    mouse->press(40, 40);
    mouse->dragTo(50, 30);
    mouse->release(50, 30);
    EXPECT_EQ(picture->left, 50);
    EXPECT_EQ(picture->top, 30);
    EXPECT_EQ(picture->width, 180);
    EXPECT_EQ(picture->height, 152);
    test::saveShot(*window, "mwt-picture");
}

TEST_F(StageToolsTest, ANewPathLocksThePictureBehindIt) {
    ImageObject* picture = addPicture(320, 240, 40, 40, 160, 120);
    ASSERT_NE(picture, nullptr);
    click(kEditModeButton);
    // At first the picture moves under the edit tool, and is selected by it.
    mouse->stroke({{120, 100}, {125, 100}});
    ASSERT_EQ(picture->left, 45);
    ASSERT_TRUE(picture->selected);

    DragPath* path = drawOne(kFreeHandButton, {{60, 60}, {100, 60}, {140, 60}, {140, 100}});
    ASSERT_NE(path, nullptr);
    EXPECT_LT(doc().indexOf(path), doc().indexOf(picture)) << "drawn in front of the picture";
    EXPECT_TRUE(picture->locked);
    EXPECT_FALSE(picture->selected);

    click(kEditModeButton);
    mouse->stroke({{120, 130}, {150, 150}});
    EXPECT_EQ(picture->left, 45) << "a locked picture does not move";
    EXPECT_EQ(picture->top, 40);
    EXPECT_FALSE(picture->selected);
    // The path over it still does.
    mouse->stroke({{140, 100}, {150, 120}});
    EXPECT_EQ(pointsOf(*path).back(), QPoint(150, 120));
    test::saveShot(*window, "mwt-locked");
}

TEST_F(StageToolsTest, CtrlZAndCtrlRUndoAndRedoTheStrokes) {
    DragPath* first = drawOne(kVerticalLineButton, {{40, 30}, {40, 130}});
    ASSERT_NE(first, nullptr);
    ASSERT_NE(drawOne(kHorizontalLineButton, {{80, 50}, {200, 50}}), nullptr);
    click(kEditModeButton);
    mouse->stroke({{40, 130}, {60, 150}});
    ASSERT_EQ(pointsOf(*first).back(), QPoint(60, 150));
    ASSERT_EQ(doc().objects.size(), 2u);

    auto lastPointOfVertical = [this]() -> QPoint {
        for (const auto& o : doc().objects) {
            const auto& p = static_cast<const DragPath&>(*o);
            if (p.point(0)->x == 40) return QPoint(p.point(1)->x, p.point(1)->y);
        }
        return QPoint(-1, -1);
    };
    mouse->key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(doc().objects.size(), 2u);
    EXPECT_EQ(lastPointOfVertical(), QPoint(40, 130)) << "the point drag is undone";
    mouse->key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(doc().objects.size(), 1u);
    mouse->key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_TRUE(doc().objects.empty());
    EXPECT_FALSE(doc().canUndo());
    mouse->key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_TRUE(doc().objects.empty()) << "nothing more to undo";

    mouse->key(Qt::Key_R, Qt::ControlModifier);
    EXPECT_EQ(doc().objects.size(), 1u);
    mouse->key(Qt::Key_R, Qt::ControlModifier);
    mouse->key(Qt::Key_R, Qt::ControlModifier);
    EXPECT_EQ(doc().objects.size(), 2u);
    EXPECT_EQ(lastPointOfVertical(), QPoint(60, 150)) << "and redone";
    mouse->key(Qt::Key_R, Qt::ControlModifier);
    EXPECT_EQ(doc().objects.size(), 2u);

    // What is undone is drawn undone.
    mouse->key(Qt::Key_Z, Qt::ControlModifier);
    mouse->key(Qt::Key_Z, Qt::ControlModifier);
    doc().selectAll(true);
    window->Redraw();
    EXPECT_EQ(shown(40, 130), 0x0000FFu);
    EXPECT_NE(shown(200, 50), 0x0000FFu) << "the undone line is gone from the stage";
}

TEST_F(StageToolsTest, AnUndoTypedInTheMiddleOfAGestureEndsIt) {
    // Ctrl+Z while the button is still down takes away the path being drawn;
    // the rest of the stroke must not land on a path brought back by the undo.
    DragPath* line = drawOne(kHorizontalLineButton, {{40, 50}, {200, 50}});
    ASSERT_NE(line, nullptr);
    click(kFreeHandButton);
    mouse->press(60, 120);
    mouse->dragTo(100, 120);
    ASSERT_EQ(doc().objects.size(), 2u);
    mouse->key(Qt::Key_Z, Qt::ControlModifier);
    ASSERT_EQ(doc().objects.size(), 1u);
    mouse->dragTo(140, 160);
    mouse->dragTo(180, 200);
    mouse->release(180, 200);
    ASSERT_EQ(doc().objects.size(), 1u);
    const auto& kept = static_cast<const DragPath&>(*doc().objects[0]);
    EXPECT_EQ(pointsOf(kept), (std::vector<QPoint>{{40, 50}, {200, 50}}));
    EXPECT_EQ(doc().mouseDown, 0);

    // The same for a point held by the edit tool.
    click(kEditModeButton);
    mouse->press(200, 50);
    mouse->dragTo(210, 70);
    mouse->key(Qt::Key_Z, Qt::ControlModifier);
    const auto& restored = static_cast<const DragPath&>(*doc().objects[0]);
    EXPECT_EQ(pointsOf(restored), (std::vector<QPoint>{{40, 50}, {200, 50}}));
    mouse->dragTo(230, 90);
    mouse->release(230, 90);
    EXPECT_EQ(pointsOf(static_cast<const DragPath&>(*doc().objects[0])), (std::vector<QPoint>{{40, 50}, {200, 50}}))
        << "the undone drag does not go on";
}

TEST_F(StageToolsTest, TwoSelectedPicturesMoveTogetherAndAThirdIsTakenAlone) {
    ImageObject* a = addPicture(320, 240, 20, 20, 80, 60);
    ImageObject* b = addPicture(320, 240, 120, 20, 80, 60);
    ImageObject* c = addPicture(320, 240, 20, 140, 80, 60);
    ASSERT_TRUE(a && b && c);
    doc().selectAll(false);
    click(kEditModeButton);

    mouse->press(60, 50);
    mouse->release(60, 50);
    mouse->press(160, 50, Qt::ControlModifier);
    mouse->release(160, 50, Qt::ControlModifier);
    ASSERT_TRUE(a->selected && b->selected);
    ASSERT_FALSE(c->selected);

    mouse->stroke({{160, 50}, {165, 55}, {170, 55}});
    EXPECT_EQ(QPoint(a->left, a->top), QPoint(30, 25));
    EXPECT_EQ(QPoint(b->left, b->top), QPoint(130, 25));
    EXPECT_EQ(QPoint(c->left, c->top), QPoint(20, 140));
    EXPECT_TRUE(a->selected && b->selected) << "pressing one of them keeps both";

    mouse->stroke({{60, 170}, {60, 180}});
    EXPECT_TRUE(c->selected);
    EXPECT_FALSE(a->selected || b->selected) << "an unselected one is taken alone";
    EXPECT_EQ(c->top, 150);
    EXPECT_EQ(a->top, 25);

    // Control toggles it off again and leaves it where it was.
    mouse->press(60, 170, Qt::ControlModifier);
    mouse->release(60, 170, Qt::ControlModifier);
    EXPECT_FALSE(c->selected);
}

TEST_F(StageToolsTest, ControlOnASegmentMarksItsHandOver) {
    DragPath* path = drawOne(kHorizontalLineButton, {{40, 100}, {200, 100}});
    ASSERT_NE(path, nullptr);
    click(kEditModeButton);
    EXPECT_EQ(shown(120, 100), 0xFF0000u);
    mouse->press(120, 100, Qt::ControlModifier);
    mouse->release(120, 100, Qt::ControlModifier);
    EXPECT_TRUE(path->point(1)->handOver());
    EXPECT_EQ(path->count(), 2) << "no point inserted";
    EXPECT_EQ(shown(120, 100), 0x000000u) << "a hand-over segment is drawn black";

    // Control and Shift on a segment move the whole path.
    mouse->press(120, 100, Qt::ControlModifier | Qt::ShiftModifier);
    mouse->dragTo(130, 110, Qt::ControlModifier | Qt::ShiftModifier);
    mouse->release(130, 110, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(pointsOf(*path), (std::vector<QPoint>{{50, 110}, {210, 110}}));
    EXPECT_TRUE(path->point(1)->handOver());
}

TEST_F(StageToolsTest, ADrawnPlayButtonPlaysAndItsStopButtonGoesBack) {
    doc().currentFrame = 20;
    click(kInButton);
    doc().currentFrame = 40;
    click(kOutButton);
    doc().currentFrame = 0;
    click(kPlayButtonButton);
    mouse->stroke({{100, 100}, {140, 130}});
    ASSERT_EQ(doc().objects.size(), 2u);

    int64_t now = 1000;
    doc().setClock([&now] { return now; });
    click(kPlayModeButton);
    ASSERT_FALSE(doc().editMode);
    doc().setCurrentFrame(20);
    mouse->press(120, 115);
    mouse->release(120, 115);
    EXPECT_EQ(doc().currentFrame, 21) << "the button starts its play event";
    for (int i = 0; i < 100 && doc().currentFrame < 30; ++i) {
        now += 50;
        window->Idle();
    }
    ASSERT_GE(doc().currentFrame, 25) << "idle plays on";
    ASSERT_LT(doc().currentFrame, 40);
    test::saveShot(*window, "mwt-playing");
    // Playback that may not be interrupted ignores the stop button...
    int32_t playing = doc().currentFrame;
    mouse->press(120, 115);
    mouse->release(120, 115);
    EXPECT_EQ(doc().currentFrame, playing);
    // ...which works once the event lets the viewer drag while it plays.
    ASSERT_EQ(doc().events.size(), 1u);
    static_cast<PlayEvent&>(*doc().events[0]).interruptible = 1;
    mouse->press(120, 115);
    mouse->release(120, 115);
    EXPECT_EQ(doc().currentFrame, 20) << "the stop button goes back to the in point";
    now += 5000;
    window->Idle();
    EXPECT_EQ(doc().currentFrame, 20) << "and playback has stopped";
}

TEST_F(StageToolsTest, ClicksWithoutAMoveMakeOnlyButtonsThatNothingChokesOn) {
    int32_t x = 30;
    for (int32_t button : {kFreeHandButton, kOvalButton, kVerticalLineButton, kHorizontalLineButton,
                           kJumpButtonButton, kPlayButtonButton}) {
        click(button);
        mouse->press(x, 60);
        mouse->release(x, 60);
        x += 45;
    }
    // The paths a click cannot shape are not made at all; buttons keep their
    // picture's size (the play button brings its stop button).
    ASSERT_EQ(doc().objects.size(), 3u);
    for (const auto& o : doc().objects) EXPECT_GE(static_cast<const DragPath&>(*o).count(), 2);
    EXPECT_TRUE(prompts.messages.empty());

    // Hovered, pressed and dragged over in both modes.
    for (int32_t mode : {kEditModeButton, kPlayModeButton}) {
        click(mode);
        for (int32_t px = 20; px < 310; px += 3) mouse->hover(px, 60);
        for (int32_t start = 30; start < 300; start += 45) {
            mouse->press(start, 60);
            mouse->dragTo(start + 1, 61);
            mouse->dragTo(start + 7, 64);
            mouse->release(start + 7, 64);
        }
    }
    EXPECT_GE(doc().objects.size(), 2u);
}

TEST_F(StageToolsTest, AClickAfterAnUndoTakesWhatIsUnderThePointer) {
    ImageObject* picture = addPicture(320, 240, 40, 40, 160, 120);
    ASSERT_NE(picture, nullptr);
    ASSERT_NE(drawOne(kHorizontalLineButton, {{40, 220}, {200, 220}}), nullptr);
    ASSERT_EQ(doc().objects.size(), 2u);
    click(kEditModeButton);

    // The pointer rests on the picture while Ctrl+Z takes the line away and
    // brings the picture back as a new object; the click that follows, with
    // no move in between, takes the picture under the pointer.
    mouse->hover(120, 100);
    mouse->key(Qt::Key_Z, Qt::ControlModifier);
    ASSERT_EQ(doc().objects.size(), 1u);
    MediaObject& restored = *doc().objects[0];
    QTest::mousePress(window->client(), Qt::LeftButton, Qt::NoModifier, mouse->at(120, 100));
    mouse->dragTo(130, 105);
    mouse->release(130, 105);
    EXPECT_TRUE(restored.selected);
    EXPECT_EQ(QPoint(restored.left, restored.top), QPoint(50, 45));
}

TEST_F(StageToolsTest, NewAsksToSaveADrawnDocument) {
    window->Command(kCmdNew);
    EXPECT_TRUE(prompts.questions.empty()) << "an untouched document goes without a question";

    ASSERT_NE(drawOne(kVerticalLineButton, {{40, 30}, {40, 130}}), nullptr);
    Document* drawn = window->doc();
    prompts.choices = {2};  // cancel
    window->Command(kCmdNew);
    ASSERT_EQ(prompts.questions.size(), 1u);
    EXPECT_EQ(prompts.questions[0], text("save_doc?"));
    EXPECT_EQ(window->doc(), drawn);
    EXPECT_EQ(doc().objects.size(), 1u);

    // Save: the name is asked, the file written, then the new document comes.
    std::string file = scratch.file("drawn");
    prompts.choices = {0};
    prompts.saves = {file};
    window->Command(kCmdNew);
    EXPECT_EQ(prompts.questions.size(), 2u);
    ASSERT_TRUE(fileExists(file + ".tvl"));
    auto saved = loadProjectFile(file + ".tvl");
    ASSERT_NE(saved, nullptr);
    EXPECT_EQ(saved->objects.size(), 1u);
    EXPECT_TRUE(doc().objects.empty());
    EXPECT_EQ(window->title(), documentString("newdoc") + " - " + text("title"));

    // Don't save: the drawing is dropped.
    ASSERT_NE(drawOne(kOvalButton, {{40, 30}, {80, 90}}), nullptr);
    prompts.choices = {1};
    window->Command(kCmdNew);
    EXPECT_EQ(prompts.questions.size(), 3u);
    EXPECT_TRUE(doc().objects.empty());
    EXPECT_TRUE(doc().editMode);
    // The drawing tool chosen before still draws on the new document.
    click(kFreeHandButton);
    mouse->stroke({{40, 40}, {120, 40}});
    EXPECT_EQ(doc().objects.size(), 1u);
}

// Start-up in a folder of its own: "res" beside the program, settings there.
class StudioStartTest : public StudioTest {
protected:
    void SetUp() override {
        StudioTest::SetUp();
        if (IsSkipped()) return;
        appDir = scratch.file("app");
        std::filesystem::create_directories(appDir);
        std::filesystem::create_directory_symlink(test::shippedResFolder(), joinPath(appDir, "res"));
        setExecutableDirForTesting(appDir);
    }
    void TearDown() override {
        if (main) main->Destroy();
        main.reset();
        setExecutableDirForTesting("");
        resources().Open(test::shippedResFolder());
        settings().Load(scratch.file("tavlin.rc"));
        StudioTest::TearDown();
    }
    std::unique_ptr<MainWindow> start(const std::string& path, bool play = false) {
        StudioOptions options;
        options.path = path;
        options.play = play;
        options.splashWait = false;
        options.qtPrompts = false;
        return startStudio(options);
    }
    std::string appDir;
    std::unique_ptr<MainWindow> main;
};

TEST_F(StudioStartTest, TheProjectOnTheCommandLineIsOpenAndReadyToEdit) {
    std::string project = scratch.file("walk.tvl");
    {
        Document made(200, 150);
        auto path = std::make_unique<DragPath>(made);
        path->addPoint(20, 75, 0, true);
        path->addPoint(180, 75, 0, true);
        path->ranges.push_back({0, made.length - 1});
        path->name = "across";
        made.addObject(std::move(path));
        ASSERT_TRUE(saveProjectFile(made, project));
    }
    main = start(project);
    ASSERT_NE(main, nullptr);
    EXPECT_TRUE(prompts.messages.empty());
    ASSERT_NE(main->doc(), nullptr);
    EXPECT_EQ(main->title(), project + " - " + text("title"));
    EXPECT_EQ(main->widget()->windowTitle().toStdString(), main->title());
    ASSERT_EQ(main->doc()->objects.size(), 1u);
    EXPECT_EQ(main->doc()->objects[0]->name, "across");
    EXPECT_EQ(main->doc()->stageWidth, 200);
    // The window fits the project's stage, or the menu bar where that is wider.
    EXPECT_EQ(main->clientWidth(), std::max(225, main->widget()->minimumWidth()));
    EXPECT_TRUE(main->doc()->editMode);
    EXPECT_EQ(main->activeTool(), editorTool(kEditToolEntry));
    EXPECT_NE(main->menu(), nullptr);
    ASSERT_NE(main->toolbox(), nullptr);
    EXPECT_TRUE(main->toolbox()->widget()->isVisible());
    EXPECT_FALSE(settings().Get("last_web_dir").empty()) << "seeded at start";

    // And the opened project is edited with the mouse straight away.
    StageMouse hand(*main);
    hand.stroke({{180, 75}, {180, 120}});
    const auto& across = static_cast<const DragPath&>(*main->doc()->objects[0]);
    EXPECT_EQ(across.point(1)->y, 120);
    test::clickToolbox(*main->toolbox(), kPlayModeButton);
    EXPECT_FALSE(main->doc()->editMode);
}

TEST_F(StudioStartTest, AMissingFileOnTheCommandLineLeavesAnEmptyDocument) {
    std::string missing = scratch.file("gone.tvl");
    main = start(missing);
    ASSERT_NE(main, nullptr);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0], text("e_cant_open", missing));
    ASSERT_NE(main->doc(), nullptr);
    EXPECT_TRUE(main->doc()->objects.empty());
    EXPECT_EQ(main->title(), documentString("newdoc") + " - " + text("title"));
}

TEST_F(StudioStartTest, StartingInPlayModeHandsTheStageToThePlayTool) {
    main = start(std::string(), true);
    ASSERT_NE(main, nullptr);
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_FALSE(main->doc()->editMode);
    EXPECT_EQ(main->activeTool(), editorTool(kPlayToolEntry));
    ASSERT_NE(main->toolbox(), nullptr);
    EXPECT_TRUE(main->toolbox()->DrawnPressed(kPlayModeButton));
}

}  // namespace
}  // namespace tavlin
