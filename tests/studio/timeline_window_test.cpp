// The timeline window used with the mouse as an author would: ranges drawn,
// dragged and split, events drawn and snapped back, kinds switched off, in
// and out points set from the ruler with the tool box and frame skipping
// between them in its own window; every change undone through the history.

#include <memory>
#include <string>

#include <gtest/gtest.h>

#include <QApplication>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>

#include "document/document.h"
#include "document/drag_path.h"
#include "document/event.h"
#include "document/image_object.h"
#include "document/media_recount.h"
#include "document/media_resource.h"
#include "document/project_file.h"
#include "media/audio/sound.h"
#include "media/media_registry.h"
#include "studio/event_info_window.h"
#include "studio/info_windows.h"
#include "studio/main_window.h"
#include "studio/skip_window.h"
#include "studio/timeline_window.h"
#include "studio/toolbox_window.h"
#include "studio_fixture.h"
#include "studio_input.h"
#include "support/modal_script.h"
#include "ui/control.h"

namespace tavlin {
namespace {

using test::StudioTest;
using L = TimelineLayout;

class TimelineTest : public StudioTest {
protected:
    void SetUp() override {
        StudioTest::SetUp();
        if (IsSkipped()) return;
        if (!findAudioFormat("x.au")) registerAudioFormats();
        window = std::make_unique<MainWindow>(80, 40, 400, 300);
        window->NewDocument();
        window->Show(true);
        timeline = window->ShowTimeline();
        ASSERT_NE(timeline, nullptr);
        ASSERT_TRUE(doc().setLength(200));
        timeline->Redraw();
    }
    void TearDown() override {
        if (window) window->Destroy();
        window.reset();
        StudioTest::TearDown();
    }
    Document& doc() { return *window->doc(); }

    // The middle of frame f in object row r or event row k.
    QPoint objectRow(int32_t r, int32_t f) const {
        const TimelineLayout& l = timeline->layout();
        return QPoint(l.frameX(f) + int32_t(l.zoom / 2), L::kRulerHeight + r * L::kRowHeight + 10);
    }
    QPoint eventRow(int32_t k, int32_t f) const {
        const TimelineLayout& l = timeline->layout();
        return QPoint(l.frameX(f) + int32_t(l.zoom / 2), l.eventTop() + k * L::kRowHeight + 10);
    }
    QPoint ruler(int32_t f) const {
        const TimelineLayout& l = timeline->layout();
        return QPoint(l.frameX(f) + int32_t(l.zoom / 2), 4);
    }
    void move(QPoint p, Qt::MouseButtons buttons) {
        QWidget* c = timeline->client();
        QMouseEvent ev(QEvent::MouseMove, QPointF(p), QPointF(c->mapToGlobal(p)), Qt::NoButton, buttons,
                       Qt::NoModifier);
        QApplication::sendEvent(c, &ev);
    }
    void drag(QPoint from, QPoint to) {
        move(from, Qt::NoButton);
        QTest::mousePress(timeline->client(), Qt::LeftButton, Qt::NoModifier, from);
        move(to, Qt::LeftButton);
        QTest::mouseRelease(timeline->client(), Qt::LeftButton, Qt::NoModifier, to);
    }
    void click(QPoint p) { drag(p, p); }

    ImageObject* addPicture(const std::string& name, FrameRange range) {
        auto picture = Image::create(32, 24);
        std::string file = scratch.file(name + ".png");
        if (!picture || !findImageFormat(file)->write(file, *picture)) return nullptr;
        auto* res = dynamic_cast<ImageResource*>(doc().loadResource(MediaKind::Image, file));
        auto object = std::make_unique<ImageObject>(doc());
        object->attachImage(res);
        object->ranges = {range};
        object->name = name;
        auto* added = static_cast<ImageObject*>(doc().addObject(std::move(object)));
        doc().objects.push_back(std::move(doc().objects.front()));
        doc().objects.erase(doc().objects.begin());
        timeline->Redraw();
        return added;
    }
    std::string text() { return writeProject(doc()); }

    std::unique_ptr<MainWindow> window;
    TimelineWindow* timeline = nullptr;
};

TEST_F(TimelineTest, RangesDrawnDraggedAndSplitChangeTheProjectAndUndoBringsItBack) {
    ImageObject* sky = addPicture("sky", {10, 20});
    ASSERT_NE(sky, nullptr);
    const std::string before = text();

    // The end of the range to frame 40.
    drag(objectRow(0, 20), objectRow(0, 40));
    EXPECT_EQ(sky->ranges, (std::vector<FrameRange>{{10, 40}}));
    EXPECT_NE(text().find(".OR 10 40\n"), std::string::npos) << text();
    EXPECT_TRUE(sky->selected) << "the row's object is selected";
    EXPECT_EQ(window->infoWindows()->shown()->dialogName(), "infoimage") << "and its info window shown";

    // A new range drawn leftwards from 70 to 60 turns round at its start.
    drag(objectRow(0, 70), objectRow(0, 60));
    EXPECT_EQ(sky->ranges, (std::vector<FrameRange>{{10, 40}, {60, 70}}));

    // Pressing inside splits it; the later half's start follows the pointer.
    drag(objectRow(0, 25), objectRow(0, 30));
    EXPECT_EQ(sky->ranges, (std::vector<FrameRange>{{10, 24}, {30, 40}, {60, 70}}));

    // Dragged over its neighbour it merges when let go.
    drag(objectRow(0, 60), objectRow(0, 38));
    EXPECT_EQ(sky->ranges, (std::vector<FrameRange>{{10, 24}, {30, 70}}));

    // And the first range's end dragged into the second joins them.
    drag(objectRow(0, 24), objectRow(0, 75));
    EXPECT_EQ(sky->ranges, (std::vector<FrameRange>{{10, 75}}));

    for (int i = 0; i < 5; ++i) doc().undo();
    EXPECT_EQ(text(), before);
    EXPECT_FALSE(doc().canUndo());

    // A locked row takes the press (and its snapshot) and changes nothing.
    sky = static_cast<ImageObject*>(doc().objects[0].get());
    click(QPoint(30, objectRow(0, 0).y()));
    ASSERT_TRUE(sky->locked);
    const std::string locked = text();
    drag(objectRow(0, 20), objectRow(0, 50));
    drag(objectRow(0, 100), objectRow(0, 120));
    EXPECT_EQ(text(), locked);
    // Unchecked, the object stops counting for the codes.
    click(QPoint(10, objectRow(0, 0).y()));
    EXPECT_FALSE(doc().objects[0]->enabled);
    EXPECT_FALSE(doc().objects[0]->selected);
}

TEST_F(TimelineTest, EventsAreDrawnInTheirRowAndNeverOverlapOneOfTheirKind) {
    drag(eventRow(kPlayEvent, 5), eventRow(kPlayEvent, 15));
    drag(eventRow(kPlayEvent, 40), eventRow(kPlayEvent, 30));
    ASSERT_EQ(doc().events.size(), 2u);
    Event* first = doc().events[0].get();
    Event* second = doc().events[1].get();
    EXPECT_EQ(std::make_pair(first->first, first->last), std::make_pair(5, 15));
    EXPECT_EQ(std::make_pair(second->first, second->last), std::make_pair(30, 40));
    EXPECT_EQ(window->infoWindows()->shown()->dialogName(), "infoplay");
    EXPECT_EQ(window->infoWindows()->shownEvent(), second);
    // The frames a play event needs are coded, and the status says how many.
    EXPECT_EQ(doc().frameCode(5), kKeyFrame);
    EXPECT_EQ(doc().frameCode(30), kKeyFrame);

    // Its start moved over the other play event: it stays where it was.
    drag(eventRow(kPlayEvent, 30), eventRow(kPlayEvent, 10));
    EXPECT_EQ(std::make_pair(second->first, second->last), std::make_pair(30, 40));
    drag(eventRow(kPlayEvent, 30), eventRow(kPlayEvent, 20));
    EXPECT_EQ(std::make_pair(second->first, second->last), std::make_pair(20, 40));

    // Another kind's row makes its own event and shows its own window.
    click(eventRow(kJumpEvent, 12));
    ASSERT_EQ(doc().events.size(), 3u);
    EXPECT_EQ(doc().events[2]->kind(), kJumpEvent);
    EXPECT_EQ(window->infoWindows()->shown()->dialogName(), "infojump");

    // Keys move the current frame; the ruler sets it.
    click(ruler(50));
    EXPECT_EQ(doc().currentFrame, 50);
    QTest::keyClick(timeline->client(), Qt::Key_Right);
    QTest::keyClick(timeline->client(), Qt::Key_Right);
    QTest::keyClick(timeline->client(), Qt::Key_Left);
    EXPECT_EQ(doc().currentFrame, 51);
    test::saveShot(*timeline, "timeline_events");

    while (doc().canUndo()) doc().undo();
    EXPECT_TRUE(doc().events.empty());
}

TEST_F(TimelineTest, DragPathPointsMoveInTimeBetweenTheirNeighboursAndTheMarkersFollow) {
    auto path = std::make_unique<DragPath>(doc());
    path->addPoint(10, 10, 0, true);
    path->addPoint(50, 10, 20, true);
    path->addPoint(90, 10, 40, true);
    path->ranges = {{0, 199}};
    path->name = "walk";
    DragPath* walk = static_cast<DragPath*>(doc().addObject(std::move(path)));
    timeline->Redraw();
    const std::string before = text();

    drag(objectRow(0, 20), objectRow(0, 30));
    EXPECT_EQ(walk->point(1)->frame, 30);
    EXPECT_EQ(doc().frameCode(0), kKeyFrame) << "the path's frames are coded";
    // Not past its neighbour.
    drag(objectRow(0, 30), objectRow(0, 45));
    EXPECT_EQ(walk->point(1)->frame, 30);
    EXPECT_EQ(walk->ranges, (std::vector<FrameRange>{{0, 199}})) << "a point is not a range";
    doc().undo();
    doc().undo();
    EXPECT_EQ(text(), before);

    // The in and out markers, dragged on the ruler.
    const TimelineLayout& l = timeline->layout();
    drag(QPoint(l.frameX(doc().inPoint) + 2, 12), QPoint(l.frameX(15) + 2, 12));
    EXPECT_EQ(doc().inPoint, 15);
    doc().outPoint = 40;  // in view
    timeline->Redraw();
    drag(QPoint(l.frameX(doc().outPoint + 1) - 2, 12), ruler(60));
    EXPECT_EQ(doc().outPoint, 60);
}

TEST_F(TimelineTest, SwitchingSoundsOffTakesTheirSoundsOutOfThePublication) {
    Sound tone;
    for (int i = 0; i < 800; ++i) {
        int16_t v = int16_t((i % 40) * 400 - 8000);
        tone.data.push_back(uint8_t(v & 0xFF));
        tone.data.push_back(uint8_t((v >> 8) & 0xFF));
    }
    std::string file = scratch.file("beep.au");
    ASSERT_TRUE(findAudioFormat(file)->write(file, tone));
    auto* sound = dynamic_cast<SoundResource*>(doc().loadResource(MediaKind::Sound, file));
    ASSERT_NE(sound, nullptr);
    auto* event = static_cast<SoundEvent*>(doc().addEvent(kSoundEvent, 10, 30));
    event->sound = sound;
    EXPECT_EQ(recountMedia(doc()).published[size_t(MediaKind::Sound)], 1);

    click(QPoint(10, eventRow(kSoundEvent, 0).y()));
    EXPECT_EQ(doc().kindSwitch[kSoundEvent], 0);
    MediaRecount off = recountMedia(doc());
    EXPECT_EQ(off.published[size_t(MediaKind::Sound)], 0) << "switched off, the sound is not published";
    ASSERT_EQ(doc().soundResources.size(), 1u) << "but still kept for the event";

    click(QPoint(10, eventRow(kSoundEvent, 0).y()));
    EXPECT_EQ(doc().kindSwitch[kSoundEvent], 1);
    EXPECT_EQ(recountMedia(doc()).published[size_t(MediaKind::Sound)], 1);
}

TEST_F(TimelineTest, InAndOutFromTheRulerAndTheToolBoxThenSkippingBetweenThem) {
    ToolboxWindow* box = window->ShowToolbox();
    ASSERT_NE(box, nullptr);
    click(ruler(10));
    test::clickToolbox(*box, 6);
    click(ruler(29));
    test::clickToolbox(*box, 7);
    ASSERT_EQ(doc().inPoint, 10);
    ASSERT_EQ(doc().outPoint, 29);
    int32_t snapshots = doc().history.position;

    auto pick = [](int32_t row) {
        auto* dialog = dynamic_cast<SkipWindow*>(ModalWindow::Innermost());
        ASSERT_NE(dialog, nullptr);
        auto* list = qobject_cast<QListWidget*>(dialog->ControlById(SkipWindow::kList)->NativeHandle());
        ASSERT_NE(list, nullptr);
        list->scrollToItem(list->item(row));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier,
                          list->visualItemRect(list->item(row)).center());
    };
    auto press = [](int32_t id) {
        auto* dialog = ModalWindow::Innermost();
        ASSERT_NE(dialog, nullptr);
        QTest::mouseClick(dialog->ControlById(id)->NativeHandle(), Qt::LeftButton);
    };
    std::string entry;
    test::runInMainLoop({
        {0, [&] { window->Command(kCmdSkipInOut); }},
        {1,
         [&] {
             pick(4);  // skip 4
             auto* list =
                 qobject_cast<QListWidget*>(ModalWindow::Innermost()->ControlById(SkipWindow::kList)->NativeHandle());
             entry = list->item(4)->text().toStdString();
             press(SkipWindow::kOk);
         }},
    });
    EXPECT_EQ(entry, "4  [4]");
    EXPECT_EQ(doc().frameCode(10), kKeyFrame);
    for (int32_t f : {15, 20, 25}) EXPECT_EQ(doc().frameCode(f), kDiffFrame) << f;
    for (int32_t f : {11, 14, 16, 29}) EXPECT_EQ(doc().frameCode(f), kNotCoded) << f;
    EXPECT_EQ(doc().frameFlags[11], kFixedMark) << "fixed as not written";
    EXPECT_EQ(doc().codedFrameCount(), 4);
    EXPECT_EQ(doc().history.position, snapshots + 1);

    // Cancel after trying skip 0: the codes of skip 4 stay, and nothing to undo.
    const std::vector<uint8_t> kept = doc().frameFlags;
    test::runInMainLoop({
        {0, [&] { window->Command(kCmdSkipInOut); }},
        {1,
         [&] {
             pick(0);
             EXPECT_EQ(doc().codedFrameCount(), 20) << "applied at once";
             press(SkipWindow::kCancel);
         }},
    });
    EXPECT_EQ(doc().frameFlags, kept);
    EXPECT_EQ(doc().history.position, snapshots + 1);

    // The whole-document skip with "Clear marks" first.
    test::runInMainLoop({
        {0, [&] { window->Command(kCmdSkipInOut); }},
        {1,
         [&] {
             press(SkipWindow::kClearMarks);
             press(SkipWindow::kOk);
         }},
    });
    EXPECT_EQ(doc().codedFrameCount(), 0);
    doc().undo();
    EXPECT_EQ(doc().frameFlags, kept);
}

}  // namespace
}  // namespace tavlin
