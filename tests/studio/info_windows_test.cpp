// The info windows typed into and clicked as an author would: numbers read
// by their leading digits and clamped, texts kept within what the content
// carries, edits kept when the selection moves, media replaced (and shared),
// jump targets, link windows, the drag path's looks, all undoable.

#include <filesystem>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "core/settings.h"
#include "document/document.h"
#include "document/drag_path.h"
#include "document/event.h"
#include "document/image_object.h"
#include "document/media_resource.h"
#include "document/video_object.h"
#include "editor/editor_tools.h"
#include "media/media_registry.h"
#include "studio/capture_dialog.h"
#include "studio/event_info_window.h"
#include "studio/info_controls.h"
#include "studio/info_windows.h"
#include "studio/main_window.h"
#include "studio/object_info_window.h"
#include "studio/picture_chooser.h"
#include "studio/still_list_editor.h"
#include "studio/timeline_window.h"
#include "studio_fixture.h"
#include "studio_input.h"
#include "ui/control.h"

namespace tavlin {
namespace {

using test::StudioTest;

class InfoWindowsTest : public StudioTest {
protected:
    void SetUp() override {
        StudioTest::SetUp();
        if (IsSkipped()) return;
        window = std::make_unique<MainWindow>(80, 40, 400, 300);
        window->NewDocument();
        window->Show(true);
    }
    void TearDown() override {
        if (window) window->Destroy();
        window.reset();
        StudioTest::TearDown();
    }
    Document& doc() { return *window->doc(); }
    InfoPanel* shown() { return window->infoWindows()->shown(); }

    std::string picture(const std::string& name, int32_t w, int32_t h) {
        auto image = Image::create(w, h);
        std::string file = scratch.file(name);
        findImageFormat(file)->write(file, *image);
        return file;
    }
    ImageObject* addPicture(const std::string& file, const std::string& name) {
        auto* res = dynamic_cast<ImageResource*>(doc().loadResource(MediaKind::Image, file));
        auto object = std::make_unique<ImageObject>(doc());
        object->attachImage(res);
        object->ranges = {{0, 9}};
        object->setRect(10, 10, 40, 30);
        object->name = name;
        return static_cast<ImageObject*>(doc().addObject(std::move(object)));
    }

    QWidget* native(int32_t id) { return shown()->ControlById(id)->NativeHandle(); }
    // Replaces the entry's text as typing would, one key at a time.
    void type(int32_t id, const QString& text) {
        auto* edit = qobject_cast<QLineEdit*>(native(id));
        ASSERT_NE(edit, nullptr);
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Backspace);
        QTest::keyClicks(edit, text);
    }
    QString shownText(int32_t id) { return qobject_cast<QLineEdit*>(native(id))->text(); }
    // Check boxes are clicked on their box, buttons in their middle.
    void press(int32_t id) {
        QWidget* w = native(id);
        QPoint at = qobject_cast<QCheckBox*>(w) ? QPoint(8, w->height() / 2) : w->rect().center();
        QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, at);
    }
    void choose(int32_t id, int32_t index) {
        auto* combo = qobject_cast<QComboBox*>(native(id));
        combo->setCurrentIndex(index);
        emit combo->activated(index);
    }
    void pickRow(int32_t id, int32_t row) {
        auto* list = qobject_cast<QListWidget*>(native(id));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier,
                          list->visualItemRect(list->item(row)).center());
    }

    static QString chooserTitle() { return QString::fromStdString(resources().StringCopy("openimage")); }

    std::unique_ptr<MainWindow> window;
};

TEST_F(InfoWindowsTest, ObjectFieldsAreReadByTheirLeadingNumberClampedAndKeptWhenTheSelectionMoves) {
    std::string skyFile = picture("sky.png", 64, 48), seaFile = picture("sea.png", 20, 10);
    ImageObject* sky = addPicture(skyFile, "sky");
    ImageObject* sea = addPicture(seaFile, "sea");
    window->openInfoWindow(*sky);
    ASSERT_NE(shown(), nullptr);
    EXPECT_EQ(shown()->dialogName(), "infoimage");
    EXPECT_EQ(shownText(info::kName), "sky");
    EXPECT_EQ(qobject_cast<QPushButton*>(native(info::kMediaBox))->text(), "sky.png");

    type(info::kWidth, "0");
    type(info::kLeft, "12abc");
    type(info::kTop, "x7");
    type(info::kHeight, "-30");
    type(info::kName, "Sky at dusk");
    EXPECT_EQ(sky->width, 1) << "applied as typed, below 1 is 1";
    EXPECT_EQ(sky->left, 12);
    EXPECT_EQ(sky->top, 0) << "no leading number reads as 0";
    EXPECT_EQ(sky->height, 1);
    EXPECT_EQ(shownText(info::kWidth), "0") << "the field is left alone while typing";

    // The timeline's name column selects the other object: nothing typed is lost.
    TimelineWindow* timeline = window->ShowTimeline();
    ASSERT_EQ(doc().objects[0].get(), sea);
    QTest::mouseClick(timeline->client(), Qt::LeftButton, Qt::NoModifier,
                      QPoint(80, TimelineLayout::kRulerHeight + 10));
    EXPECT_TRUE(sea->selected);
    EXPECT_FALSE(sky->selected);
    EXPECT_EQ(sky->name, "Sky at dusk");
    EXPECT_EQ(shownText(info::kName), "sea");
    type(info::kTop, "25");
    window->closeInfoWindow();
    EXPECT_EQ(sea->top, 25);
    EXPECT_EQ(shown(), nullptr);

    // Natural size, then Apply shows what was kept.
    window->openInfoWindow(*sky);
    press(info::kNaturalSize);
    EXPECT_EQ(std::make_pair(sky->width, sky->height), std::make_pair(64, 48));
    type(info::kWidth, "-4");
    press(info::kApplyObject);
    EXPECT_EQ(shownText(info::kWidth), "1");

    // One picture file used by both objects is one resource, published once.
    // The chooser opens where the current picture is.
    size_t pictures = doc().imageResources.size();
    test::whenShown(chooserTitle(), [&](Window* w) {
        EXPECT_EQ(static_cast<PictureChooser*>(w)->folder(), folderOf(skyFile));
        test::pickPictures(w, scratch.path(), {"sea.png"});
    });
    press(info::kMediaBox);
    EXPECT_EQ(sky->picture, sea->picture);
    EXPECT_EQ(qobject_cast<QPushButton*>(native(info::kMediaBox))->text(), "sea.png");
    EXPECT_LE(doc().imageResources.size(), pictures);
    // A file that is no picture: asked, ignored, nothing changes.
    std::string junk = scratch.write("junk.png", "not a picture at all");
    test::whenShown(chooserTitle(), [&](Window* w) { test::pickPictures(w, scratch.path(), {"junk.png"}); });
    prompts.choices.push_back(1);
    press(info::kMediaBox);
    ASSERT_EQ(prompts.questions.size(), 1u);
    EXPECT_EQ(prompts.questions[0], text("e_cant_open", junk));
    EXPECT_EQ(sky->picture, sea->picture);
    test::saveShot(*shown(), "info_image");

    // Every step undoes: the picture, the apply, natural size, the typing.
    while (doc().canUndo()) doc().undo();
    ASSERT_EQ(doc().objects.size(), 2u);
    for (const auto& o : doc().objects) {
        EXPECT_TRUE(o->name == "sky" || o->name == "sea") << o->name;
        EXPECT_EQ(o->width, 40);
        EXPECT_EQ(o->top, 10);
    }
    EXPECT_EQ(shown(), nullptr) << "the objects it showed are gone";
}

TEST_F(InfoWindowsTest, EventWindowsEditTheirOwnFieldsWithinTheContentLimits) {
    ASSERT_TRUE(doc().setLength(100));
    Event* play = doc().addEvent(kPlayEvent, 0, 9);
    auto* jump = static_cast<JumpEvent*>(doc().addEvent(kJumpEvent, 10, 19));
    auto* link = static_cast<LinkEvent*>(doc().addEvent(kLinkEvent, 20, 29));
    auto* param = static_cast<ParamEvent*>(doc().addEvent(kParamEvent, 30, 39));
    InfoWindows& info = *window->infoWindows();

    info.showEvent(*play);
    EXPECT_EQ(shown()->dialogName(), "infoplay");
    type(info::kWait, "-5");
    EXPECT_EQ(play->wait, 0);
    EXPECT_EQ(settings().Get("def_wtime"), "0") << "new events start with it";
    type(info::kWait, "250ms");
    press(info::kInterruptible);
    EXPECT_EQ(play->wait, 250);
    EXPECT_EQ(static_cast<PlayEvent*>(play)->interruptible, 1);
    EXPECT_EQ(doc().addEvent(kPlayEvent, 50, 59)->wait, 250);

    // Jump: the current frame twice, then the first removed.
    info.showEvent(*jump);
    EXPECT_EQ(shown()->dialogName(), "infojump");
    doc().currentFrame = 42;
    press(info::kAddTarget);
    press(info::kAddTarget);
    EXPECT_EQ(jump->targets, (std::vector<int32_t>{42, 42}));
    EXPECT_EQ(doc().frameCode(42), kKeyFrame);
    doc().currentFrame = 7;
    press(info::kAddTarget);
    pickRow(info::kTargetList, 0);
    press(info::kRemoveTarget);
    EXPECT_EQ(jump->targets, (std::vector<int32_t>{42, 7}));

    // Link: the suggestions fill the window text; long texts are cut.
    info.showEvent(*link);
    pickRow(info::kWindowSuggestions, 5);
    EXPECT_EQ(link->target, "_blank");
    EXPECT_EQ(shownText(info::kWindowName), "_blank");
    pickRow(info::kWindowSuggestions, 0);
    EXPECT_EQ(link->target, "");
    qobject_cast<QLineEdit*>(native(info::kWindowName))->setText(QString(300, 'w'));
    EXPECT_EQ(link->target.size(), 255u);
    QLineEdit* address = qobject_cast<QLineEdit*>(native(info::kAddress));
    address->setMaxLength(100000);
    address->setText("http://example.org/" + QString(70000, 'a'));
    EXPECT_EQ(link->address.size(), 65535u);
    test::saveShot(*shown(), "info_link");

    // Param: typed text goes to the event; closing the window keeps it.
    info.showEvent(*param);
    type(info::kParamText, "$play_speed=200");
    shown()->OnClose();
    EXPECT_EQ(param->text, "$play_speed=200");

    // A removed event leaves no window pointing at it.
    info.showEvent(*jump);
    doc().removeEvent(jump);
    EXPECT_EQ(shown(), nullptr);
}

TEST_F(InfoWindowsTest, DragPathLooksAreSetAndRememberedForTheNextPath) {
    addDefaultPath(*window);
    ASSERT_NE(shown(), nullptr);
    EXPECT_EQ(shown()->dialogName(), "infodm");
    auto* path = static_cast<DragPath*>(doc().objects[size_t(doc().firstSelectedIndex())].get());

    press(info::kArrowAutomatic);
    EXPECT_TRUE(path->arrowMode & kArrowAuto);
    EXPECT_FALSE(shown()->ControlById(info::kArrowAtStart)->IsEnabled());
    EXPECT_EQ(settings().Get("dmarrow"), std::to_string(path->arrowMode));
    choose(info::kGrabDistance, 3);
    EXPECT_EQ(path->grabLimit, 10);
    EXPECT_EQ(settings().Get("dmdist"), "10");
    choose(info::kStateWidth + 1, 5);
    EXPECT_EQ(path->stateWidths[1], 5);
    press(info::kCurve);
    EXPECT_EQ(path->curveFlag, 1);
    EXPECT_FALSE(shown()->ControlById(info::kThumbRemove)->IsEnabled()) << "no thumbs yet";

    // Several thumbs at once; one that is no picture is asked about and left out.
    std::string thumb = picture("thumb.png", 12, 12);
    picture("thumb2.png", 16, 8);
    scratch.write("broken.png", "not a picture");
    test::whenShown(chooserTitle(), [&](Window* w) {
        test::pickPictures(w, scratch.path(), {"thumb2.png", "broken.png", "thumb.png"});
    });
    prompts.choices.push_back(1);
    press(info::kThumbAdd);
    ASSERT_EQ(path->thumbs.size(), 2u);
    EXPECT_EQ(path->thumbs[0]->name, thumb) << "in the chooser's sorted order";
    EXPECT_EQ(path->thumbs[1]->name, scratch.file("thumb2.png"));
    EXPECT_EQ(prompts.questions, std::vector<std::string>{text("e_cant_open", scratch.file("broken.png"))});
    EXPECT_EQ(qobject_cast<QListWidget*>(native(info::kThumbList))->count(), 2);
    EXPECT_TRUE(shown()->ControlById(info::kThumbRemove)->IsEnabled());
    test::whenShown(chooserTitle(), [&](Window* w) { test::pickPictures(w, scratch.path(), {"thumb.png"}); });
    press(info::kStatePicture + 0);
    EXPECT_EQ(path->statePictures[0], path->thumbs[0]) << "one file, one resource";
    test::saveShot(*shown(), "info_dm");
    // Adding thumbs is one step to undo.
    doc().undo();
    doc().undo();
    ASSERT_EQ(doc().objects.size(), 1u);
    ASSERT_EQ(doc().objects[0]->kind(), kDragPath);
    EXPECT_TRUE(static_cast<DragPath&>(*doc().objects[0]).thumbs.empty());

    auto* next = static_cast<DragPath*>(MediaObject::create(doc(), kDragPath).release());
    std::unique_ptr<MediaObject> owned(next);
    EXPECT_EQ(next->grabLimit, 10);
    EXPECT_EQ(next->stateWidths[1], 5);
    EXPECT_EQ(next->curveFlag, 1);
}

// The video window's record and still-picture buttons put a new video in
// place of the object's; a list made by the editor is edited in place, no
// other video ever is.
TEST_F(InfoWindowsTest, RecordedAndStillPictureVideosReplaceTheObjectsVideo) {
    if (!findVideoFormat("x.avi")) registerVideoFormats();
    settings().Set("tmp_dir", scratch.file("tmp"));
    settings().Set("capture_format", "lavfi");
    settings().Set("capture_device", "testsrc=size=96x64:rate=25");
    std::unique_ptr<MediaObject> owned = MediaObject::create(doc(), kVideoObject);
    owned->ranges = {{0, 9}};
    owned->setRect(0, 0, 50, 40);
    auto* video = static_cast<VideoObject*>(doc().addObject(std::move(owned)));
    window->openInfoWindow(*video);
    ASSERT_EQ(shown()->dialogName(), "infovideo");
    const QString stillsTitle = "Video from Still Pictures";
    auto editorOf = [](Window* w) {
        auto* editor = dynamic_cast<StillListEditor*>(w);
        EXPECT_NE(editor, nullptr);
        return editor;
    };

    // Without a video the editor starts a new list in the temporary folder.
    std::string a = picture("a.png", 64, 48), b = picture("b.png", 64, 48), c = picture("c.png", 64, 48);
    const std::string list = scratch.file("tmp/vn0.txt");
    test::whenShown(stillsTitle, [&](Window* w) {
        StillListEditor* editor = editorOf(w);
        EXPECT_EQ(editor->outputPath(), list);
        editor->insertPictures({a, b});
        editor->OnControl(StillListEditor::kOk);
    });
    press(info::kStillPictures);
    ASSERT_NE(video->video, nullptr);
    EXPECT_EQ(video->video->name, list);
    EXPECT_EQ(video->video->video->frameCount, 2);
    EXPECT_EQ(qobject_cast<QPushButton*>(native(info::kMediaBox))->text(), "vn0.txt");

    // Its own list opens again and, rewritten in the same second, is read again.
    test::whenShown(stillsTitle, [&](Window* w) {
        StillListEditor* editor = editorOf(w);
        EXPECT_EQ(editor->outputPath(), list);
        EXPECT_EQ(editor->pictures(), (std::vector<std::string>{a, b}));
        editor->insertPictures({c});
        editor->OnControl(StillListEditor::kOk);
    });
    press(info::kStillPictures);
    EXPECT_EQ(video->video->name, list);
    EXPECT_EQ(video->video->video->frameCount, 3);
    EXPECT_EQ(doc().videoResources.size(), 1u);

    // A recording takes its place; the temporary folder is where it was made.
    test::whenShown("Capture", [](Window* w) {
        auto* capture = dynamic_cast<CaptureDialog*>(w);
        ASSERT_NE(capture, nullptr);
        capture->OnControl(CaptureDialog::kStart);
        QTimer::singleShot(500, [capture] { capture->OnClose(); });
    });
    press(info::kRecord);
    const std::string recorded = scratch.file("tmp/nv0.avi");
    ASSERT_NE(video->video, nullptr);
    EXPECT_EQ(video->video->name, recorded);
    EXPECT_GT(video->video->video->frameCount, 0);
    EXPECT_EQ(settings().Get("tmp_dir"), scratch.file("tmp"));
    test::saveShot(*shown(), "info_video_recorded");

    // The recording is never opened as a list (OK would write over it): the
    // editor gets a new one, and cancelling it changes nothing.
    const auto bytes = std::filesystem::file_size(recorded);
    test::whenShown(stillsTitle, [&](Window* w) {
        StillListEditor* editor = editorOf(w);
        EXPECT_EQ(editor->outputPath(), scratch.file("tmp/vn1.txt"));
        EXPECT_TRUE(editor->pictures().empty());
        editor->OnControl(StillListEditor::kCancel);
    });
    press(info::kStillPictures);
    EXPECT_EQ(video->video->name, recorded);
    EXPECT_EQ(std::filesystem::file_size(recorded), bytes);

    // Each replacement undoes to the video before it.
    doc().undo();
    ASSERT_EQ(doc().objects.size(), 1u);
    auto& before = static_cast<VideoObject&>(*doc().objects[0]);
    ASSERT_NE(before.video, nullptr);
    EXPECT_EQ(before.video->name, list);
}

// The shipped descriptions carry every control the windows rely on, of the
// kind they rely on; each window is shown once for a look at it.
TEST_F(InfoWindowsTest, EveryWindowFindsItsControlsInTheShippedDescriptions) {
    ASSERT_TRUE(doc().setLength(100));
    InfoWindows& info = *window->infoWindows();
    auto has = [&](InfoPanel& w, int32_t id, auto* kind) {
        Control* c = w.ControlById(id);
        EXPECT_NE(dynamic_cast<decltype(kind)>(c), nullptr) << w.dialogName() << " control " << id;
    };
    const Edit* edit = nullptr;
    const Button* button = nullptr;
    const CheckButton* check = nullptr;
    const ComboBox* combo = nullptr;
    const ListBox* list = nullptr;
    for (int32_t kind : {kVideoObject, kImageObject, kDragPath}) {
        ObjectInfoWindow& w = *info.objectWindow(kind);
        for (int32_t id = info::kName; id <= info::kHeight; ++id) has(w, id, edit);
        has(w, info::kNaturalSize, button);
        has(w, info::kApplyObject, button);
        if (kind == kVideoObject) {
            for (int32_t id : {info::kMediaBox, info::kRecord, info::kStillPictures}) has(w, id, button);
            has(w, info::kFrameStep, edit);
        } else if (kind == kImageObject) {
            has(w, info::kMediaBox, button);
        } else {
            for (int32_t s = 0; s < 3; ++s) {
                has(w, info::kStatePicture + s, button);
                has(w, info::kStateWidth + s, combo);
                has(w, info::kStateColour + s, button);
                has(w, info::kStatePictureRemove + s, button);
            }
            has(w, info::kThumbList, list);
            for (int32_t id : {info::kThumbAdd, info::kThumbRemove}) has(w, id, button);
            for (int32_t id : {info::kKeepThumb, info::kArrowAtStart, info::kArrowAtEnd, info::kArrowAutomatic,
                               info::kCurve, info::kGrabFromThumb})
                has(w, id, check);
            has(w, info::kThumbDirection, combo);
            has(w, info::kGrabDistance, combo);
        }
    }
    for (int32_t kind = 0; kind < kEventKinds; ++kind) {
        EventInfoWindow& w = *info.eventWindow(kind);
        has(w, info::kWait, edit);
        has(w, info::kApplyEvent, button);
        Event* e = doc().addEvent(kind, kind * 10, kind * 10 + 5);
        info.showEvent(*e);
        EXPECT_EQ(shown(), &w);
        test::saveShot(w, w.dialogName());
    }
    has(*info.eventWindow(kPlayEvent), info::kInterruptible, check);
    has(*info.eventWindow(kJumpEvent), info::kTargetList, list);
    has(*info.eventWindow(kSoundEvent), info::kSoundBox, button);
    has(*info.eventWindow(kSoundEvent), info::kRepeat, check);
    has(*info.eventWindow(kLinkEvent), info::kAddress, edit);
    has(*info.eventWindow(kLinkEvent), info::kWindowName, edit);
    has(*info.eventWindow(kLinkEvent), info::kWindowSuggestions, list);
    has(*info.eventWindow(kParamEvent), info::kParamText, edit);
}

}  // namespace
}  // namespace tavlin
