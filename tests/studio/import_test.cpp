// Media brought in through the real windows: the main window's open, drop and
// paste, the video command's question with capture and still pictures, the
// picture chooser on a folder of photographs and the still-picture list
// editor, with the scripted prompts answering.

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include "base/paths.h"
#include "core/settings.h"
#include "document/document.h"
#include "document/event.h"
#include "document/image_object.h"
#include "document/project_file.h"
#include "document/video_object.h"
#include "import/media_import.h"
#include "import/still_list.h"
#include "media/media_registry.h"
#include "studio/capture_dialog.h"
#include "studio/import_commands.h"
#include "studio/main_window.h"
#include "studio/picture_chooser.h"
#include "studio/still_list_editor.h"
#include "studio_fixture.h"
#include "studio_input.h"
#include "ui/clipboard.h"
#include "ui/control.h"
#include "ui/platform.h"

namespace tavlin {
namespace {

using test::StudioTest;
using test::whenShown;

void writePicture(const std::string& path, int32_t w, int32_t h, uint32_t colour = 0xFF336699) {
    auto img = Image::create(w, h);
    ASSERT_TRUE(img);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) img->row(y)[x] = colour ^ uint32_t((x / 16 + y / 16) & 1) * 0x00FFFFFF;
    ImageFormat* f = findImageFormat(path);
    ASSERT_NE(f, nullptr);
    ASSERT_TRUE(f->write(path, *img));
}

// Real photographs' stand-ins: FFmpeg's test pictures written as JPEG.
void ffmpegPicture(const std::string& path, int32_t w, int32_t h, const char* source = "testsrc2") {
    std::string cmd = "ffmpeg -loglevel error -y -f lavfi -i " + std::string(source) + "=size=" + std::to_string(w) +
                      "x" + std::to_string(h) + " -frames:v 1 '" + path + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
}

// The whole window, native controls included, beside the test program for a
// person to look at.
void screenshot(Window& w, const char* name) {
    if (QWidget* frame = w.widget()) {
        frame->show();
        QTest::qWait(50);
        frame->grab().save(
            QString::fromStdString(joinPath(QCoreApplication::applicationDirPath().toStdString(), name)));
    }
}

class ImportTest : public StudioTest {
protected:
    void SetUp() override {
        StudioTest::SetUp();
        if (IsSkipped()) return;
        if (!findVideoFormat("x.avi")) registerVideoFormats();
        if (!findAudioFormat("x.wav")) registerAudioFormats();
        settings().Set("tmp_dir", scratch.file("tmp"));
        window = std::make_unique<MainWindow>(80, 0, 700, 520);
        window->NewDocument();
        ASSERT_TRUE(window->doc()->setStageSize(640, 480));
    }
    void TearDown() override {
        if (window) window->Destroy();
        window.reset();
        StudioTest::TearDown();
    }
    Document& doc() { return *window->doc(); }
    std::string state() { return writeProject(doc()); }
    std::unique_ptr<MainWindow> window;
};

TEST_F(ImportTest, PicturesArePlacedByTheFitFactorReusedAndReloadedWhenChanged) {
    const std::string big = scratch.file("big.png");
    writePicture(big, 2000, 1500);
    ASSERT_EQ(window->Open(big, -1, -1), 1);
    ASSERT_EQ(doc().objects.size(), 1u);
    const MediaObject& first = *doc().objects[0];
    EXPECT_EQ(first.kind(), kImageObject);
    EXPECT_EQ(first.width, 500);  // factor 4
    EXPECT_EQ(first.height, 375);
    EXPECT_EQ(first.left, 70);
    EXPECT_EQ(first.top, 52);
    EXPECT_TRUE(first.selected);
    EXPECT_EQ(first.ranges, (std::vector<FrameRange>{{0, 0}}));
    EXPECT_TRUE(doc().canUndo()) << "the import is a change to save";

    // Dropped at a window point: centred on the stage point under it, the
    // same picture reused.
    doc().setCurrentFrame(3);
    window->RouteDrop({big}, 300, 200);
    ASSERT_EQ(doc().objects.size(), 2u);
    EXPECT_EQ(doc().imageResources.size(), 1u);
    const MediaObject* dropped = nullptr;
    for (const auto& o : doc().objects)
        if (o->selected) dropped = o.get();
    ASSERT_NE(dropped, nullptr);
    EXPECT_EQ(dropped->left + dropped->width / 2, window->stageX(300));
    EXPECT_EQ(dropped->top + dropped->height / 2, window->stageY(200));
    EXPECT_EQ(dropped->ranges, (std::vector<FrameRange>{{3, 3}}));

    // Changed on disk: read again into the same entry.
    writePicture(big, 400, 300);
    std::filesystem::last_write_time(big, std::filesystem::last_write_time(big) + std::chrono::seconds(5));
    ASSERT_EQ(window->Open(big, -1, -1), 1);
    ASSERT_EQ(doc().imageResources.size(), 1u);
    EXPECT_EQ(static_cast<ImageResource&>(*doc().imageResources[0]).image->width, 400);
    EXPECT_EQ(doc().objects.size(), 3u);

    // A dropped folder is not media: nothing happens and nothing is said.
    std::string before = state();
    window->RouteDrop({scratch.path()}, 10, 10);
    EXPECT_EQ(state(), before);
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_TRUE(prompts.questions.empty());
}

TEST_F(ImportTest, BadMediaAskForAnotherFileOrLeaveTheDocumentAsItWas) {
    const std::string good = scratch.file("good.png");
    writePicture(good, 64, 48);
    const std::string liar = scratch.write("liar.png", "GIF89a but really just text, not a picture at all");
    const std::string badVideo = scratch.write("broken.avi", std::string(4096, 'x'));
    const std::string silent = scratch.write("silent.wav", "");
    const std::string before = state();

    for (const std::string& path : {liar, badVideo, silent, scratch.file("missing.png")}) {
        prompts.messages.clear();
        prompts.questions.clear();
        prompts.choices = {1};  // "b_ignore"
        window->Open(path, -1, -1);
        EXPECT_EQ(state(), before) << path;
        EXPECT_TRUE(doc().imageResources.empty() && doc().videoResources.empty() && doc().soundResources.empty())
            << path;
        ASSERT_FALSE(prompts.messages.empty()) << path;
        EXPECT_EQ(prompts.messages.back(), text("e_cant_open", path)) << path;
    }
    EXPECT_FALSE(doc().canUndo());

    // "b_open_another" with a good file imports that one instead.
    prompts.choices = {0};
    prompts.opens = {good};
    ASSERT_EQ(window->Open(liar, -1, -1), 1);
    ASSERT_EQ(doc().imageResources.size(), 1u);
    EXPECT_EQ(doc().imageResources[0]->name, good);
    ASSERT_EQ(doc().objects.size(), 1u);
    EXPECT_EQ(doc().objects[0]->width, 64);
    ASSERT_FALSE(prompts.openFilters.empty());
    EXPECT_EQ(prompts.openFilters.back(), imageFilter());
}

TEST_F(ImportTest, SoundsBecomeEventsAndAnOverlapKeepsOnlyTheSound) {
    auto beep = [&](const std::string& name) {
        std::string path = scratch.file(name);
        std::string cmd =
            "ffmpeg -loglevel error -y -f lavfi -i sine=frequency=440:duration=0.5 -ar 8000 '" + path + "'";
        EXPECT_EQ(std::system(cmd.c_str()), 0);
        return path;
    };
    const std::string path = beep("beep.wav");
    doc().setCurrentFrame(7);
    ASSERT_EQ(window->Open(path, -1, -1), 1);
    ASSERT_EQ(doc().events.size(), 1u);
    EXPECT_EQ(doc().events[0]->kind(), kSoundEvent);
    EXPECT_EQ(doc().events[0]->first, 7);
    EXPECT_NE(static_cast<SoundEvent&>(*doc().events[0]).sound, nullptr);

    const std::string other = beep("other.wav");
    EXPECT_EQ(window->Open(other, -1, -1), 0);
    EXPECT_EQ(doc().events.size(), 1u);
    EXPECT_EQ(doc().soundResources.size(), 2u) << "the sound that loaded stays";
    ASSERT_FALSE(prompts.messages.empty());
    EXPECT_EQ(prompts.messages.back(), text("e_ev_overlap"));
}

TEST_F(ImportTest, TwoCapturesRecordIntoNewNamesAndBecomeVideos) {
    settings().Set("capture_format", "lavfi");
    settings().Set("capture_device", "testsrc=size=96x64:rate=25");
    for (int round = 0; round < 2; ++round) {
        prompts.choices = {kVideoCapture};
        whenShown("Capture", [](Window* w) {
            auto* capture = dynamic_cast<CaptureDialog*>(w);
            ASSERT_NE(capture, nullptr);
            capture->OnControl(CaptureDialog::kStart);
            QTimer::singleShot(500, [capture] { capture->OnClose(); });
        });
        EXPECT_TRUE(videoCommand(*window)) << round;
    }
    EXPECT_TRUE(fileExists(scratch.file("tmp/nv0.avi")));
    EXPECT_TRUE(fileExists(scratch.file("tmp/nv1.avi")));
    ASSERT_EQ(doc().videoResources.size(), 2u);
    EXPECT_EQ(doc().objects.size(), 2u);
    EXPECT_EQ(doc().objects[0]->width, 96);
    EXPECT_EQ(settings().Get("tmp_dir"), scratch.file("tmp"));

    // Cancel and a closed question do nothing.
    const std::string before = state();
    for (int answer : {int(kVideoCancel), -1}) {
        prompts.choices = {answer};
        EXPECT_FALSE(videoCommand(*window));
    }
    EXPECT_EQ(state(), before);
}

TEST_F(ImportTest, StillPicturesMakeAFrameListThatReopensWithItsNames) {
    std::vector<std::string> stills;
    for (const char* name : {"a one.png", "b.png", "c.png"}) {
        stills.push_back(scratch.file(name));
        writePicture(stills.back(), 1600, 1200, 0xFF102030u * uint32_t(stills.size()));
    }
    prompts.choices = {kVideoStills};
    whenShown("Video from Still Pictures", [&](Window* w) {
        auto* editor = dynamic_cast<StillListEditor*>(w);
        ASSERT_NE(editor, nullptr);
        editor->insertPictures({stills[1], stills[2]});
        editor->OnControl(StillListEditor::kMoveUp);  // c before b
        EXPECT_EQ(editor->selection(), 0);
        editor->OnControl(StillListEditor::kMoveDown);
        EXPECT_EQ(editor->selection(), 1);
        editor->addDroppedFile(scratch.path());  // a folder: ignored
        editor->addDroppedFile(scratch.write("notes.doc", "x"));
        editor->addDroppedFile(stills[0]);  // after the selection
        editor->OnControl(StillListEditor::kMoveUp);
        editor->OnControl(StillListEditor::kMoveUp);
        editor->OnControl(StillListEditor::kMoveUp);  // not past the top
        EXPECT_EQ(editor->pictures(), stills);
        screenshot(*editor, "still_list_editor.png");
        editor->OnControl(StillListEditor::kOk);
    });
    ASSERT_TRUE(videoCommand(*window));
    const std::string list = scratch.file("tmp/vn0.txt");
    EXPECT_EQ(test::readAll(list),
              "533 400 3 3\nN 0 " + stills[0] + "\nN 1 " + stills[1] + "\nN 2 " + stills[2] + "\n-\n");
    ASSERT_EQ(doc().videoResources.size(), 1u);
    ASSERT_EQ(doc().objects.size(), 1u);
    EXPECT_EQ(doc().objects[0]->width, 533);

    // Reopened, the list shows its pictures again, the one with a space whole.
    StillListEditor again(window.get(), list);
    EXPECT_EQ(again.pictures(), stills);
    again.OnControl(StillListEditor::kRemove);
    EXPECT_EQ(again.pictures().size(), 2u);
    again.Destroy();

    // Very wide first pictures are divided by 9 on both sides.
    EXPECT_EQ(stillListSize(6489, 900).width, 721);
    EXPECT_EQ(stillListSize(6489, 900).height, 100);
    EXPECT_EQ(stillListSize(720, 480).width, 720);
}

TEST_F(ImportTest, PastedPicturesAndObjectsAndHostileClipboards) {
    QClipboard* board = QApplication::clipboard();
    QImage shot(120, 90, QImage::Format_RGB32);
    shot.fill(QColor(200, 40, 40));
    board->setImage(shot);
    pasteCommand(*window);
    ASSERT_EQ(doc().objects.size(), 1u);
    EXPECT_TRUE(fileExists(scratch.file("tmp/ni0.png")));
    EXPECT_EQ(doc().objects[0]->width, 120);
    EXPECT_EQ(doc().objects[0]->left, (640 - 120) / 2);

    // Stage objects copied and pasted back.
    doc().copySelected();
    pasteCommand(*window);
    EXPECT_EQ(doc().objects.size(), 2u);

    const std::string before = state();
    const auto history = doc().history.snapshots.size();
    // A picture too large to hold, a fragment that breaks off, and one
    // naming an unknown kind of object.
    board->setImage(QImage(20000, 20000, QImage::Format_Mono));
    pasteCommand(*window);
    ASSERT_FALSE(prompts.messages.empty());
    EXPECT_EQ(prompts.messages.back(), text("e_gen_image"));
    for (const char* fragment : {".O 1\n.OP 1 2 3 4\n.ON ok\n.O 1\n.OP 1 2\n", ".O 7\n.OP 1 2 3 4\n..\n",
                                 ".O 1\n.OP 5 5 5 5\n.OI " /* cut off */}) {
        prompts.messages.clear();
        ClipboardSetText(fragment);
        pasteCommand(*window);
        EXPECT_EQ(state(), before) << fragment;
        EXPECT_EQ(doc().history.snapshots.size(), history) << fragment;
        ASSERT_FALSE(prompts.messages.empty()) << fragment;
        EXPECT_EQ(prompts.messages.back(), text("e_paste_damaged"));
    }
    EXPECT_FALSE(fileExists(scratch.file("tmp/ni1.png")));
}

TEST_F(ImportTest, TemporaryNamesNeverOverwriteAndTheFolderFallsBackToTheCache) {
    const std::string folder = scratch.file("names");
    ASSERT_TRUE(makeFolders(folder));
    scratch.write("names/ni0.png", "taken");
    ASSERT_EQ(::symlink("/nonexistent/target", (folder + "/ni1.png").c_str()), 0);
    EXPECT_EQ(uniqueName(folder, "ni", ".png"), folder + "/ni2.png");
    for (int n = 2; n < 100000; ++n) {
        int fd = ::open((folder + "/ni" + std::to_string(n) + ".png").c_str(), O_CREAT | O_WRONLY, 0644);
        ASSERT_GE(fd, 0);
        ::close(fd);
    }
    EXPECT_FALSE(uniqueName(folder, "ni", ".png"));
    prompts.messages.clear();
    EXPECT_FALSE(uniqueNameOrTell(folder, "ni", ".png"));
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_NE(prompts.messages[0].find(text("e_no_tmp_name")), std::string::npos);
    EXPECT_EQ(test::readAll(folder + "/ni0.png"), "taken");

    // A temporary folder that cannot be written: the cache folder serves.
    const std::string file = scratch.write("not-a-folder", "x");
    settings().Set("tmp_dir", file + "/tmp");
    const char* old = std::getenv("XDG_CACHE_HOME");
    std::string kept = old ? old : "";
    setenv("XDG_CACHE_HOME", scratch.file("cache").c_str(), 1);
    EXPECT_EQ(tmpDir(), scratch.file("cache") + "/tavlin/tmp");
    EXPECT_TRUE(isDirectory(scratch.file("cache/tavlin/tmp")));
    if (old)
        setenv("XDG_CACHE_HOME", kept.c_str(), 1);
    else
        unsetenv("XDG_CACHE_HOME");
}

TEST_F(ImportTest, TheChooserListsFoldersFirstAndDecodesThumbnailsLazily) {
    const std::string photos = scratch.file("photos");
    ASSERT_TRUE(makeFolders(photos + "/sub"));
    ffmpegPicture(photos + "/wide.jpg", 320, 240);
    ffmpegPicture(photos + "/tall.jpg", 100, 300);
    ffmpegPicture(photos + "/flat.png", 300, 100, "mandelbrot");
    for (int i = 0; i < 22; ++i) ffmpegPicture(photos + "/x" + std::to_string(10 + i) + ".jpg", 640, 480);
    scratch.write("photos/fake.jpg", "not a JPEG at all");
    scratch.write("photos/readme.txt", "not listed");

    PictureChooser chooser(window.get(), true);
    chooser.showFolder(photos);
    const auto& entries = chooser.entries();
    ASSERT_GE(entries.size(), 3u);
    EXPECT_EQ(entries[0].name, ".");
    EXPECT_EQ(entries[1].name, "..");
    EXPECT_EQ(entries[2].name, "sub");
    EXPECT_EQ(entries.size(), 3u + 3u + 22u + 1u);
    EXPECT_EQ(chooser.slider()->maximum(), (int32_t(entries.size()) + 4) / 5 - 4);
    // Nothing is decoded until the loop is idle, and only what is in view.
    EXPECT_EQ(chooser.pendingThumbnails(), 17);
    for (int i = 0; i < 200 && chooser.pendingThumbnails() > 0; ++i) PumpPending();
    EXPECT_EQ(chooser.pendingThumbnails(), 0);
    int32_t decoded = 0;
    for (const PictureEntry& e : entries) decoded += e.looked && !e.folder;
    EXPECT_EQ(decoded, 17) << "cells out of view wait";
    auto find = [&](const std::string& name) -> const PictureEntry& {
        for (const PictureEntry& e : entries)
            if (e.name == name) return e;
        return entries[0];
    };
    ASSERT_TRUE(find("wide.jpg").thumbnail);
    EXPECT_EQ(find("wide.jpg").thumbnail->width, 80);
    EXPECT_EQ(find("wide.jpg").thumbnail->height, 60);
    EXPECT_EQ(find("tall.jpg").thumbnail->width, 20);
    EXPECT_EQ(find("flat.png").thumbnail->height, 26);
    EXPECT_EQ(find("flat.png").width, 300);
    EXPECT_FALSE(find("fake.jpg").thumbnail);
    EXPECT_EQ(find("fake.jpg").width, 1);
    screenshot(chooser, "picture_chooser.png");

    // Selection: Shift with nothing selected selects nothing; Control toggles.
    auto cell = [](int32_t index) { return QPoint(50 + 100 * (index % 5), 35 + 50 + 100 * (index / 5)); };
    chooser.OnLeftDown(cell(5).x(), cell(5).y(), 1);
    EXPECT_TRUE(chooser.selectedPaths().empty());
    chooser.OnLeftDown(cell(5).x(), cell(5).y(), 0);
    chooser.OnLeftDown(cell(8).x(), cell(8).y(), 1);
    EXPECT_EQ(chooser.selectedPaths().size(), 4u);
    chooser.OnLeftDown(cell(6).x(), cell(6).y(), 2);
    EXPECT_EQ(chooser.selectedPaths().size(), 3u);
    chooser.Destroy();

    // Modal: ".." with a double click opens the parent; then a double click
    // on a picture chooses it.
    whenShown("Choose Pictures", [&](Window* w) {
        auto* c = dynamic_cast<PictureChooser*>(w);
        ASSERT_NE(c, nullptr);
        c->OnLeftDown(cell(1).x(), cell(1).y(), 0);
        c->OnLeftDown(cell(1).x(), cell(1).y(), 0);
        EXPECT_EQ(c->folder(), scratch.path());
        c->showFolder(photos);
        c->OnLeftDown(cell(4).x(), cell(4).y(), 0);
        c->OnLeftDown(cell(4).x(), cell(4).y(), 0);
    });
    auto chosen = choosePictures(window.get(), photos, false);
    ASSERT_TRUE(chosen);
    ASSERT_EQ(chosen->size(), 1u);
    EXPECT_EQ(chosen->front(), photos + "/flat.png");
}

}  // namespace
}  // namespace tavlin
