// The studio's main window driven as a user would: saving and the questions
// around it, opening and dropping files, zoom, the stage layout and mouse input.

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTest>
#include <QWidget>

#include "document/document.h"
#include "document/drag_path.h"
#include "document/media_resource.h"
#include "document/video_object.h"
#include "editor/editor_tools.h"
#include "document/project_file.h"
#include "base/paths.h"
#include "cipher/envelope.h"
#include "studio_fixture.h"
#include "support/full_disk.h"
#include "ui/control.h"
#include "studio/main_window.h"
#include "ui/menu.h"

namespace tavlin {
namespace {

using test::StudioTest;

// Remembers what would have been imported instead of importing it.
class TestMainWindow : public MainWindow {
public:
    TestMainWindow() : MainWindow(80, 0, 400, 400) { NewDocument(); }
    int32_t ImportMedia(OpenKind kind, const std::string& path, int32_t x, int32_t y) override {
        imports.push_back({kind, path, x, y});
        return 1;
    }
    struct Import {
        OpenKind kind;
        std::string path;
        int32_t x, y;
    };
    std::vector<Import> imports;
};

// Stands in for the frame-list format, which claims "v*.txt" files.
class TextVideoFormat : public VideoFormat {
public:
    std::string description() const override { return "Frame list"; }
    std::string pattern() const override { return "*.txt"; }
    std::unique_ptr<VideoSource> open(const std::string&) override { return nullptr; }
};

class MainWindowTest : public StudioTest {
protected:
    void SetUp() override {
        StudioTest::SetUp();
        if (IsSkipped()) return;
        window = std::make_unique<TestMainWindow>();
    }
    void TearDown() override {
        if (window) window->Destroy();
        window.reset();
        StudioTest::TearDown();
    }
    // A change the document keeps in its history, as every edit does.
    void modify() {
        window->Command(kCmdAddPath);
        ASSERT_TRUE(window->doc()->canUndo());
    }
    std::string savedProject(int32_t width = 320, int32_t height = 240) {
        Document doc(width, height);
        std::string path = scratch.file("saved.tvl");
        EXPECT_TRUE(saveProjectFile(doc, path));
        return path;
    }
    std::unique_ptr<TestMainWindow> window;
};

TEST_F(MainWindowTest, SavingANewDocumentAlwaysAsksForANameOnce) {
    ASSERT_EQ(window->doc()->fileName, documentString("newdoc"));
    prompts.saves = {std::nullopt};
    window->Command(kCmdSave);
    EXPECT_EQ(prompts.saveFilters.size(), 1u);
    EXPECT_TRUE(prompts.messages.empty()) << "a cancelled save dialog is no failure";

    std::string chosen = scratch.file("walk");
    prompts.saves = {chosen};
    modify();
    EXPECT_EQ(window->Save(), 1);
    EXPECT_TRUE(fileExists(chosen + ".tvl"));
    EXPECT_EQ(window->doc()->fileName, chosen + ".tvl");
    EXPECT_FALSE(window->doc()->canUndo()) << "a saved document is no longer modified";
    EXPECT_EQ(window->title(), chosen + ".tvl - " + resources().StringCopy("title"));

    // Now it has a name: saving again asks nothing.
    modify();
    EXPECT_EQ(window->Save(), 1);
    EXPECT_EQ(prompts.saveFilters.size(), 2u);
    EXPECT_EQ(recentFiles().entries().front(), chosen + ".tvl");
}

TEST_F(MainWindowTest, SaveAsKeepsOrAppendsTheProjectExtension) {
    EXPECT_EQ(withProjectExtension("/a/Walk.TVL"), "/a/Walk.TVL");
    EXPECT_EQ(withProjectExtension("/a/walk.txt"), "/a/walk.txt.tvl");
    EXPECT_EQ(withProjectExtension("/a/walk"), "/a/walk.tvl");
    EXPECT_EQ(withProjectExtension("/a.d/walk"), "/a.d/walk.tvl") << "a dot in a folder name is no extension";

    prompts.saves = {scratch.file("Upper.TVL"), scratch.file("notes.txt")};
    EXPECT_EQ(window->SaveAs(), 1);
    EXPECT_EQ(window->SaveAs(), 1);
    EXPECT_TRUE(fileExists(scratch.file("Upper.TVL")));
    EXPECT_FALSE(fileExists(scratch.file("Upper.TVL.tvl")));
    EXPECT_TRUE(fileExists(scratch.file("notes.txt.tvl")));
    EXPECT_FALSE(fileExists(scratch.file("notes.txt")));
}

TEST_F(MainWindowTest, SaveAsOverAnExistingFileAsksFirst) {
    std::string path = scratch.write("old.tvl", "keep me");
    prompts.saves = {path, path};
    prompts.choices = {1, 0};  // cancel, then replace
    EXPECT_EQ(window->SaveAs(), -1);
    EXPECT_EQ(test::readAll(path), "keep me");
    ASSERT_EQ(prompts.questions.size(), 1u);
    EXPECT_EQ(prompts.questions[0], text("overwrite_file?"));

    EXPECT_EQ(window->SaveAs(), 1);
    EXPECT_NE(test::readAll(path), "keep me");
    EXPECT_EQ(window->doc()->fileName, path);
}

TEST_F(MainWindowTest, AFailedSaveKeepsThePreviousFileAndTheChanges) {
    test::FullDisk disk;
    std::string path = disk.file("walk.tvl");
    std::ofstream(path) << "previous project";
    window->doc()->setFileName(path);
    modify();
    // The disk is full: the new file cannot be written beside the old one.
    disk.fill();

    window->Command(kCmdSave);
    EXPECT_EQ(test::readAll(path), "previous project");
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0], text("e_save_file"));
    EXPECT_TRUE(window->doc()->canUndo()) << "the document stays modified";

    // Closing: "save" fails too, so the document stays open.
    Document* before = window->doc();
    prompts.choices = {0};
    EXPECT_EQ(window->CloseDocument(), 0);
    EXPECT_EQ(window->doc(), before);
    EXPECT_EQ(test::readAll(path), "previous project");
}

TEST_F(MainWindowTest, ClosingAModifiedDocumentAsksWhatToDo) {
    Document* first = window->doc();
    EXPECT_EQ(window->CloseDocument(), 1) << "an unmodified document goes without a question";
    EXPECT_TRUE(prompts.questions.empty());
    EXPECT_EQ(window->doc(), nullptr);

    window->NewDocument();
    (void)first;
    modify();
    prompts.choices = {2, -1};  // cancel, then the close box
    window->Command(kCmdNew);
    window->Command(kCmdNew);
    ASSERT_EQ(prompts.questions.size(), 2u);
    EXPECT_EQ(prompts.questions[0], text("save_doc?"));
    EXPECT_TRUE(window->doc()->canUndo()) << "the edited document is still open";

    prompts.choices = {0};  // save, but cancel the save dialog
    prompts.saves = {std::nullopt};
    window->Command(kCmdNew);
    EXPECT_TRUE(window->doc()->canUndo());
    EXPECT_TRUE(prompts.messages.empty());

    prompts.choices = {1};  // don't save
    window->Command(kCmdNew);
    EXPECT_FALSE(window->doc()->canUndo());
    EXPECT_TRUE(window->doc()->objects.empty());
    EXPECT_EQ(window->doc()->editMode, 1);
}

TEST_F(MainWindowTest, OpenReadsAProjectAndRemembersIt) {
    std::string path = savedProject(500, 300);
    EXPECT_EQ(window->Open(path, -1, -1), 1);
    ASSERT_NE(window->doc(), nullptr);
    EXPECT_EQ(window->doc()->stageWidth, 500);
    EXPECT_EQ(window->doc()->fileName, path);
    EXPECT_EQ(window->doc()->editMode, 1);
    EXPECT_EQ(window->clientWidth(), 525);
    EXPECT_EQ(window->clientHeight(), 325);
    EXPECT_EQ(window->title(), path + " - " + resources().StringCopy("title"));
    EXPECT_EQ(recentFiles().entries().front(), path);
    EXPECT_TRUE(prompts.messages.empty());

    // A name relative to the current folder is remembered in full.
    std::filesystem::path here = std::filesystem::current_path();
    std::filesystem::current_path(scratch.path());
    int32_t opened = window->Open("./saved.tvl", -1, -1);
    std::filesystem::current_path(here);
    EXPECT_EQ(opened, 1);
    const std::string& name = window->doc()->fileName;
    EXPECT_EQ(name.front(), '/');
    EXPECT_EQ(name.find("./"), std::string::npos);
    EXPECT_TRUE(std::filesystem::equivalent(name, path));
    EXPECT_EQ(recentFiles().entries().front(), name);
}

TEST_F(MainWindowTest, TheOpenCommandOffersProjectsFirstThenMedia) {
    std::string path = savedProject(400, 300);
    prompts.opens = {path};
    window->Command(kCmdOpen);
    EXPECT_EQ(window->doc()->stageWidth, 400);
    ASSERT_EQ(prompts.openFilters.size(), 1u);
    std::vector<std::string> filters = QtNameFilters(prompts.openFilters[0]);
    ASSERT_GE(filters.size(), 4u);
    EXPECT_EQ(filters[0], "TAVLIN files (*.tvl tavlin.txt)");
    EXPECT_EQ(filters[1], "TAVLIN Content (tavlin.txt)");
    EXPECT_NE(filters.back().find("*.gif"), std::string::npos) << "the picture formats come last";
}

TEST_F(MainWindowTest, OpenFailuresAreReportedAndNothingIsLost) {
    std::string missing = scratch.file("gone.tvl");
    Document* before = window->doc();
    modify();
    EXPECT_EQ(window->Open(missing, -1, -1), 0);
    EXPECT_EQ(window->doc(), before) << "the current document stays";
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0], text("e_cant_open", missing));

    // A damaged project: the old document was closed, an empty one stays.
    std::string damaged = scratch.write("damaged.tvl", ".V 3\n.D -5 x\n");
    prompts.choices = {1};  // don't save
    EXPECT_EQ(window->Open(damaged, -1, -1), 0);
    ASSERT_NE(window->doc(), nullptr);
    EXPECT_EQ(window->doc()->fileName, documentString("newdoc"));
    ASSERT_EQ(prompts.messages.size(), 2u);
    EXPECT_EQ(prompts.messages[1].rfind(text("e_cant_open", damaged), 0), 0u);
}

TEST_F(MainWindowTest, DroppedFilesGoByNameAndFoldersAreIgnored) {
    registerVideoFormat(std::make_unique<TextVideoFormat>());
    std::string content = scratch.write("tavlin.txt", "published content");
    std::string frames = scratch.write("v1.txt", "frame list");
    std::string picture = scratch.write("pic.png", "not really");
    EXPECT_EQ(classifyOpenPath(content), OpenKind::Content);
    EXPECT_EQ(classifyOpenPath(frames), OpenKind::Video);
    EXPECT_EQ(classifyOpenPath(scratch.file("a.QMB")), OpenKind::Qmb);
    EXPECT_EQ(classifyOpenPath(scratch.file("a.tvl")), OpenKind::Project);

    Document* before = window->doc();
    window->RouteDrop({scratch.path(), content, frames, picture}, 30, 40);
    clearRegistry();
    registerImageFormats();

    ASSERT_EQ(window->imports.size(), 2u) << "the folder and tavlin.txt are not media";
    EXPECT_EQ(window->imports[0].kind, OpenKind::Video);
    EXPECT_EQ(window->imports[0].path, frames);
    EXPECT_EQ(window->imports[0].x, 30);
    EXPECT_EQ(window->imports[0].y, 40);
    EXPECT_EQ(window->imports[1].kind, OpenKind::Image);
    // A damaged content file is refused with its reason, and the open
    // document stays.
    EXPECT_EQ(window->doc(), before);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].rfind(text("e_cant_open", content), 0), 0u) << prompts.messages[0];
    // The reason stands as a sentence of its own.
    EXPECT_NE(prompts.messages[0].find("\n\nNot a content file"), std::string::npos) << prompts.messages[0];
}

TEST_F(MainWindowTest, ZoomGoesInWholeStepsAndHalvesBelowOne) {
    auto sequence = [&](int32_t command, int steps) {
        std::vector<double> seen;
        for (int i = 0; i < steps; ++i) {
            window->Command(command);
            seen.push_back(window->zoomFactor());
        }
        return seen;
    };
    EXPECT_EQ(sequence(kCmdZoomIn, 3), (std::vector<double>{2, 4, 8}));
    window->SetZoom(1.0);
    EXPECT_EQ(sequence(kCmdZoomOut, 2), (std::vector<double>{0.5, 0.25}));
    EXPECT_EQ(sequence(kCmdZoomIn, 2), (std::vector<double>{0.5, 1}));
    window->SetZoom(2.7);
    EXPECT_EQ(window->zoomFactor(), 2.0);
    window->SetZoom(1e9);
    EXPECT_EQ(window->zoomFactor(), 2.0) << "an absurd zoom is refused";
    window->SetZoom(0);
    EXPECT_EQ(window->zoomFactor(), 2.0);
}

TEST_F(MainWindowTest, ASmallStageIsCentredAndTheBarsAreDisabled) {
    ASSERT_EQ(window->doc()->stageWidth, 320);
    ASSERT_EQ(window->doc()->stageHeight, 240);
    window->Show(true);
    window->ResizeClient(500, 400);  // visible area 480 x 380
    QCoreApplication::processEvents();
    ASSERT_EQ(window->clientWidth(), 500);
    ASSERT_EQ(window->clientHeight(), 400);
    EXPECT_EQ(window->scrollX(), -80);
    EXPECT_EQ(window->scrollY(), -70);
    EXPECT_FALSE(window->horizontalBar()->IsEnabled());
    EXPECT_FALSE(window->verticalBar()->IsEnabled());
    EXPECT_EQ(window->horizontalBar()->x(), 0);
    EXPECT_EQ(window->horizontalBar()->y(), 380);
    EXPECT_EQ(window->verticalBar()->x(), 480);
    const Image& back = window->canvas()->image();
    auto rgb = [&](int x, int y) { return back.pixels[size_t(y) * size_t(back.width) + size_t(x)] & 0xFFFFFF; };
    EXPECT_EQ(rgb(79, 69), 0x808080u);
    EXPECT_EQ(rgb(80, 70), 0xFFFFFFu);
    EXPECT_EQ(rgb(399, 309), 0xFFFFFFu);
    EXPECT_EQ(rgb(400, 310), 0x808080u);

    // Larger than the view: scrollable, and the scroll position is kept inside.
    window->SetZoom(4);  // 1280 x 960
    EXPECT_TRUE(window->horizontalBar()->IsEnabled());
    EXPECT_EQ(window->horizontalBar()->maximum(), 800);
    EXPECT_DOUBLE_EQ(window->horizontalBar()->proportion(), 480.0 / 1280.0);
    EXPECT_EQ(window->scrollX(), 0);
    window->horizontalBar()->SetPosition(900);
    window->OnControl(1);
    EXPECT_EQ(window->scrollX(), 800);
    window->RouteWheel(-3, 100, 100);  // over the stage: down, not sideways, 40 pixels a notch
    EXPECT_EQ(window->scrollY(), 120);
    EXPECT_EQ(window->scrollX(), 800);
    window->SetZoom(1);
    EXPECT_EQ(window->scrollX(), -80);
}

TEST_F(MainWindowTest, MouseInputReachesTheToolInStageCoordinates) {
    window->Show(true);
    window->RouteResize(345, 265);
    window->SetZoom(2);  // 640 x 480 in a 325 x 245 view
    window->horizontalBar()->SetPosition(100);
    window->OnControl(1);
    window->verticalBar()->SetPosition(50);
    window->OnControl(2);
    ASSERT_TRUE(toolboxCommand(*window, 10));  // vertical line

    QWidget* client = window->client();
    QTest::mousePress(client, Qt::LeftButton, Qt::NoModifier, QPoint(60, 30));
    QTest::mouseMove(client, QPoint(60, 130));
    QTest::mouseRelease(client, Qt::LeftButton, Qt::NoModifier, QPoint(60, 130));

    ASSERT_EQ(window->doc()->objects.size(), 1u);
    const auto& path = static_cast<const DragPath&>(*window->doc()->objects[0]);
    ASSERT_EQ(path.count(), 2);
    EXPECT_EQ(path.point(0)->x, (60 + 100) / 2);
    EXPECT_EQ(path.point(0)->y, (30 + 50) / 2);
    EXPECT_EQ(path.point(1)->y, (130 + 50) / 2);
    EXPECT_EQ(window->activeTool(), editorTool(10)) << "the drawing tool stays for the next path";
}

TEST_F(MainWindowTest, SelectedPathsShowTheirPointsAndArrowKeysMoveThem) {
    window->RouteResize(345, 265);
    window->Command(kCmdAddPath);
    ASSERT_EQ(window->doc()->selectedCount(), 1);
    const auto& path = static_cast<const DragPath&>(*window->doc()->objects[0]);
    int32_t x = path.point(1)->x, y = path.point(1)->y;

    const Image& back = window->canvas()->image();
    auto rgb = [&](int px, int py) { return back.pixels[size_t(py) * size_t(back.width) + size_t(px)] & 0xFFFFFF; };
    int wx = x - window->scrollX(), wy = y - window->scrollY();
    EXPECT_EQ(rgb(wx, wy), 0x0000FFu) << "a point handle";
    EXPECT_EQ(rgb(wx - 3, wy - 3), 0x000000u) << "framed in black";

    window->doc()->clearHistory();
    window->doc()->selectAll(false);
    window->RouteKey(4);
    window->RouteKey(6);
    EXPECT_FALSE(window->doc()->canUndo()) << "keys without a selection change nothing";
    window->doc()->selectAll(true);
    window->RouteKey(6);
    window->RouteKey(14);
    EXPECT_EQ(path.point(1)->x, x + 1);
    EXPECT_EQ(path.point(1)->y, y + 1);
    ASSERT_EQ(window->doc()->objects.size(), 1u) << "Delete with nothing selected removed nothing";
    EXPECT_TRUE(window->doc()->canUndo()) << "a keyboard move is a change to save";
    window->RouteKey(26);  // Ctrl+Z
    const auto& restored = static_cast<const DragPath&>(*window->doc()->objects[0]);
    EXPECT_EQ(restored.point(1)->x, x + 1);
    EXPECT_EQ(restored.point(1)->y, y);
}

TEST_F(MainWindowTest, CommandsThatCannotActAreGreyed) {
    window->InstallMenu(LoadMenuBar());
    Menu* menu = window->menu();
    ASSERT_NE(menu, nullptr);
    // Windows that are not there yet, and editing with nothing to undo, redo
    // or act on.
    for (int32_t id : {304, 201, 202, 203, 204, 206}) EXPECT_FALSE(menu->IsEnabled(id)) << id;
    // (Paste and the publish folder grey too while there is nothing to paste
    // or no folder yet.)
    for (int32_t id : {101, 102, 103, 104, 105, 106, 108, 109, 151, 152, 153, 154, 199, 207, 208, 209, 213, 214, 301,
                       302, 303, 305, 901, 999})
        EXPECT_TRUE(menu->IsEnabled(id)) << id;
    // A greyed command typed anyway does nothing.
    window->Command(kCmdUndo);
    EXPECT_FALSE(window->doc()->canUndo());
    // The menu follows the document: a new path can be undone, cut and
    // deleted; undone, it can be redone.
    window->Command(kCmdAddPath);
    for (int32_t id : {201, 203, 204, 206}) EXPECT_TRUE(menu->IsEnabled(id)) << id;
    EXPECT_FALSE(menu->IsEnabled(202));
    window->Command(kCmdUndo);
    EXPECT_TRUE(menu->IsEnabled(202));
    window->Command(kCmdRedo);
    // Zooming stops at its limits and the menu says so.
    for (int i = 0; i < 10; ++i) window->Command(kCmdZoomIn);
    EXPECT_EQ(window->zoomFactor(), kMaxZoom);
    EXPECT_FALSE(menu->IsEnabled(kCmdZoomIn));
    EXPECT_TRUE(menu->IsEnabled(kCmdZoomOut));
    window->SetZoom(1.0);
    window->Redraw();

    // The shortcut shown works, and a key the window also knows acts once.
    window->Show(true);
    window->widget()->activateWindow();
    if (!QTest::qWaitForWindowActive(window->widget())) GTEST_SKIP() << "the window cannot be activated here";
    window->Command(kCmdAddPath);
    ASSERT_EQ(window->doc()->objects.size(), 2u);
    QTest::keyClick(window->client(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(window->doc()->objects.size(), 1u);
    prompts.saves = {std::nullopt};
    QTest::keyClick(window->client(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(prompts.saveFilters.size(), 1u);
    window->SetMenu(nullptr);
}

TEST_F(MainWindowTest, TheCloseRequestKeepsTheWindowWhenTheUserCancels) {
    modify();
    prompts.choices = {2};
    window->widget()->close();  // the close box
    EXPECT_TRUE(window->exists());
    prompts.choices = {1};
    window->Command(kCmdClose);
    EXPECT_FALSE(window->exists());
}

}  // namespace
}  // namespace tavlin

namespace tavlin {
namespace {

std::string sampleProject() {
    const char* src = std::getenv("TAVLIN_TEST_SRC");
    return src ? joinPath(joinPath(src, "samples"), "sample.tvl") : std::string();
}

TEST_F(MainWindowTest, TheSampleOpensAndItsPlayButtonPlaysOnIdle) {
    std::string sample = sampleProject();
    if (sample.empty() || !fileExists(sample)) GTEST_SKIP() << "no sample project";
    if (!findVideoFormat("x.avi")) registerVideoFormats();
    ASSERT_EQ(window->Open(sample, -1, -1), 1);
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_TRUE(prompts.questions.empty()) << "the sample's button pictures lie beside it";
    Document& doc = *window->doc();
    int64_t now = 1;
    doc.setClock([&now] { return now; });
    const DragPath* play = nullptr;
    for (const auto& o : doc.objects)
        if (o->name == "play0") play = static_cast<const DragPath*>(o.get());
    ASSERT_NE(play, nullptr);
    ASSERT_NE(play->statePictures[kStateNormal], nullptr);
    // Under the drag path lies the project's own video, and dragging turns
    // its card: frames along the path differ.
    const VideoObject* video = nullptr;
    for (const auto& o : doc.objects)
        if (o->name == "video0") video = static_cast<const VideoObject*>(o.get());
    ASSERT_NE(video, nullptr);
    ASSERT_TRUE(video->video && video->video->video) << "samples/turning.avi opens";
    VideoSource& turning = *video->video->video;
    EXPECT_EQ(turning.frameCount, 100);
    EXPECT_EQ(doc.objects.back().get(), video) << "the video is drawn behind everything";
    const Image* first = turning.frameAt(0);
    ASSERT_TRUE(first);
    const Image start = *first;
    const Image* quarter = turning.frameAt(25);
    ASSERT_TRUE(quarter);
    EXPECT_EQ(quarter->width, 320);
    EXPECT_NE(quarter->pixels, start.pixels);

    setEditMode(*window, false);
    EXPECT_EQ(window->activeTool(), editorTool(kPlayToolEntry));
    window->Show(true);
    QPoint button(play->left + play->width / 2 - window->scrollX(), play->top + play->height / 2 - window->scrollY());
    QTest::mouseMove(window->client(), button);
    QTest::mouseClick(window->client(), Qt::LeftButton, Qt::NoModifier, button);
    EXPECT_EQ(doc.currentFrame, 1) << "the button moves to the start of its play event";

    for (int i = 0; i < 200 && doc.currentFrame < 50; ++i) {
        now += 100;
        window->Idle();
    }
    EXPECT_GE(doc.currentFrame, 50) << "idle steps play the event";
}

}  // namespace
}  // namespace tavlin

namespace tavlin {
namespace {

TEST_F(MainWindowTest, OpenImportsAnOldDragVideoProjectIntoAFreshDocument) {
    const char* src = std::getenv("TAVLIN_TEST_SRC");
    const std::string sampleVideo = src ? joinPath(joinPath(src, "samples"), "turning.avi") : std::string();
    if (sampleVideo.empty() || !fileExists(sampleVideo)) GTEST_SKIP() << "no sample video";
    if (!findVideoFormat("x.avi")) registerVideoFormats();
    auto sealed = [&](const std::string& name, const std::string& payload) {
        auto bytes = sealEnvelope(std::vector<uint8_t>(payload.begin(), payload.end()), kSideFormatKey);
        ASSERT_TRUE(bytes);
        std::ofstream(scratch.file(name), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.value().data()), std::streamsize(bytes.value().size()));
    };

    // Without its video the import fails and the open document stays.
    sealed("lone.qmb", "1 1 0 1\n2 2 9 1\n");
    Document* before = window->doc();
    EXPECT_EQ(window->Open(scratch.file("lone.qmb"), -1, -1), 0);
    EXPECT_EQ(window->doc(), before);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].rfind(text("e_cant_open", scratch.file("lone.qmb")), 0), 0u);

    std::filesystem::copy_file(sampleVideo, scratch.file("old.avi"));
    sealed("old.QMB", "10 10 0 1\n100 10 20 1\n. E 0 *\n");
    scratch.write("old.qme", std::string("V2.1\n\0\xff", 7));
    ASSERT_EQ(window->Open(scratch.file("old.QMB"), -1, -1), 1);
    Document& doc = *window->doc();
    EXPECT_EQ(doc.fileName, scratch.file("old.tvl"));
    ASSERT_EQ(doc.objects.size(), 2u);
    const VideoObject* video = nullptr;
    const DragPath* path = nullptr;
    for (const auto& o : doc.objects) {
        if (o->kind() == kVideoObject) video = static_cast<const VideoObject*>(o.get());
        if (o->kind() == kDragPath) path = static_cast<const DragPath*>(o.get());
    }
    ASSERT_TRUE(video && path);
    EXPECT_EQ(doc.stageWidth, video->width);
    EXPECT_EQ(path->ranges, (std::vector<FrameRange>{{0, 99999}}));
}

}  // namespace
}  // namespace tavlin
