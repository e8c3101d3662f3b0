// The studio while a dialog or question holds the main window: the document
// cannot be closed or replaced from under it, keys never end the program,
// and saving respects the file on disk (its rights, its links, its folder).

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <QTest>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include "base/paths.h"
#include "core/key_codes.h"
#include "document/document.h"
#include "document/project_file.h"
#include "studio/dimension_dialog.h"
#include "studio/main_window.h"
#include "studio/recent_files_dialog.h"
#include "studio/toolbox_window.h"
#include "studio_fixture.h"
#include "support/full_disk.h"
#include "support/modal_script.h"
#include "support/ordinary_user.h"
#include "ui/choice_window.h"
#include "ui/control.h"
#include "ui/platform.h"

namespace tavlin {
namespace {

using test::pressQuitKeys;
using test::StudioTest;

// On the screen: the platform window is there and shown.
bool shown(const Window& w) {
    return w.widget() && w.widget()->isVisible() && w.widget()->windowHandle() && w.widget()->windowHandle()->handle();
}

void click(Window* w, int32_t id) {
    ASSERT_NE(w, nullptr);
    Control* c = w->ControlById(id);
    ASSERT_NE(c, nullptr);
    ASSERT_NE(c->NativeHandle(), nullptr);
    QTest::mouseClick(c->NativeHandle(), Qt::LeftButton);
}

class ModalStudioTest : public StudioTest {
protected:
    void SetUp() override {
        StudioTest::SetUp();
        window = std::make_unique<MainWindow>(100, 50, 400, 300);
        window->NewDocument();
        window->Show(true);
    }
    void TearDown() override {
        if (window) window->Destroy();
        window.reset();
        StudioTest::TearDown();
    }
    // A change worth the save question.
    void modify() {
        window->Command(kCmdAddPath);
        ASSERT_TRUE(window->doc()->canUndo());
    }
    std::unique_ptr<MainWindow> window;
};

TEST_F(ModalStudioTest, DialogsAndQuestionsHoldTheDocumentAndTheProgram) {
    modify();
    QtPrompts real;
    installPrompts(&real);
    Document* doc = window->doc();
    std::vector<std::string> seen;
    auto note = [&](const std::string& what) {
        seen.push_back(what + (MainLoopRunning() ? "" : " ENDED") + (window->exists() ? "" : " GONE") +
                       (window->doc() == doc ? "" : " REPLACED"));
    };
    ChoiceWindow* saveQuestion = nullptr;
    test::runInMainLoop({
        // The close box raises "save_doc?".
        {0, [&] { test::pressCloseBox(*window); }},
        {1,
         [&] {
             saveQuestion = dynamic_cast<ChoiceWindow*>(ModalWindow::Innermost());
             ASSERT_NE(saveQuestion, nullptr);
             EXPECT_FALSE(window->IsEnabled()) << "the question holds the main window";
             // A second close, "q", Alt+Q, "New" and "Open" while it is open change nothing.
             test::pressCloseBox(*window);
             window->widget()->close();
             EXPECT_EQ(ModalWindow::Innermost(), saveQuestion) << "no second question";
             EXPECT_TRUE(shown(*window)) << "the main window is still on the screen";
             pressQuitKeys(*saveQuestion);
             window->Command(kCmdNew);
             window->Command(kCmdOpen);
             note("save question");
             click(saveQuestion, 2);  // Cancel
         }},
        {0,
         [&] {
             note("after cancel");
             EXPECT_TRUE(window->IsEnabled());
             window->Command(kCmdDimension);
         }},
        {1,
         [&] {
             auto* dimension = dynamic_cast<DimensionDialog*>(ModalWindow::Innermost());
             ASSERT_NE(dimension, nullptr);
             // The close box of the held main window raises no question now.
             test::pressCloseBox(*window);
             window->widget()->close();
             EXPECT_EQ(ModalWindow::Innermost(), dimension);
             EXPECT_TRUE(shown(*window));
             window->Command(kCmdNew);
             window->Command(kCmdClose);
             pressQuitKeys(*dimension);
             // Keys the tool box passes on go nowhere either.
             if (ToolboxWindow* box = window->ShowToolbox()) box->OnKey(Key::Delete);
             note("dimension");
             // A question raised inside the dialog gives back the dialog only.
             EXPECT_EQ(AskChoice("save_doc?", {"Save", "Don't save", "Cancel"}), 1);
             EXPECT_FALSE(window->IsEnabled()) << "the main window waits for the dialog still";
             EXPECT_TRUE(dimension->IsEnabled());
             window->Command(kCmdNew);
             note("dimension after question");
             dynamic_cast<Edit*>(dimension->ControlById(DimensionDialog::kWidth))->SetText("640");
             dynamic_cast<Edit*>(dimension->ControlById(DimensionDialog::kHeight))->SetText("480");
             click(dimension, DimensionDialog::kOk);
         }},
        {2,
         [&] {
             auto* q = dynamic_cast<ChoiceWindow*>(ModalWindow::Innermost());
             ASSERT_NE(q, nullptr);
             EXPECT_NE(q->owner(), window.get());
             EXPECT_NE(dynamic_cast<DimensionDialog*>(q->owner()), nullptr);
             click(q, 1);
         }},
        {0,
         [&] {
             EXPECT_EQ(window->doc()->stageWidth, 640);
             EXPECT_EQ(window->doc()->stageHeight, 480);
             note("after dimension");
             window->Command(kCmdRecent);
         }},
        {1,
         [&] {
             auto* recent = dynamic_cast<RecentFilesDialog*>(ModalWindow::Innermost());
             ASSERT_NE(recent, nullptr);
             pressQuitKeys(*recent);
             note("recent files");
             click(recent, RecentFilesDialog::kCancel);
         }},
        {0, [&] { window->Command(kCmdAbout); }},
        {1,
         [&] {
             ModalWindow* about = ModalWindow::Innermost();
             ASSERT_NE(about, nullptr);
             pressQuitKeys(*about);
             note("about");
             about->widget()->close();
         }},
        {0, [&] { note("end"); }},
    });
    EXPECT_EQ(seen, (std::vector<std::string>{"save question", "after cancel", "dimension", "dimension after question",
                                              "after dimension", "recent files", "about", "end"}));
    EXPECT_TRUE(window->doc()->canUndo()) << "the changes are still there to save";
    EXPECT_EQ(window->doc()->objects.size(), 1u) << "the path added is still there";
    EXPECT_TRUE(shown(*window));
    EXPECT_TRUE(window->IsEnabled());
    // With nothing open, the close box asks and closes.
    QTimer::singleShot(0, [] { click(ModalWindow::Innermost(), 1); });  // Don't save
    test::pressCloseBox(*window);
    EXPECT_FALSE(window->exists());
    installPrompts(&prompts);
}

class SaveOntoStudioTest : public ModalStudioTest {
protected:
    // A project on disk, open in the window and changed since.
    void openChanged(const std::string& path) {
        if (window->doc() && window->doc()->canUndo()) prompts.choices = {1};  // don't save the last one
        ASSERT_EQ(window->Open(path, -1, -1), 1);
        modify();
        prompts.messages.clear();
    }
    static size_t pathsIn(const std::string& path) {
        std::unique_ptr<Document> d = loadProjectFile(path, nullptr);
        return d ? d->objects.size() : size_t(-1);
    }
    static mode_t modeOf(const std::string& path) {
        struct stat st {};
        ::stat(path.c_str(), &st);
        return st.st_mode & 07777;
    }
    std::string project(const std::string& path, mode_t mode) {
        Document empty(0, 0);
        EXPECT_TRUE(saveProjectFile(empty, path));
        ::chmod(path.c_str(), mode);
        return path;
    }
};

TEST_F(SaveOntoStudioTest, ReadOnlyPrivateLinkedAndInAReadOnlyFolder) {
    test::AsOrdinaryUser user(scratch.path());
    if (!user.ok()) GTEST_SKIP() << "cannot act as an ordinary user";

    // Read-only: refused with the save message; file and changes kept.
    std::string locked = project(scratch.file("locked.tvl"), 0444);
    std::string before = test::readAll(locked);
    openChanged(locked);
    window->Command(kCmdSave);
    EXPECT_EQ(prompts.messages, std::vector<std::string>{text("e_save_file")});
    EXPECT_EQ(test::readAll(locked), before);
    EXPECT_EQ(modeOf(locked), 0444u);
    EXPECT_TRUE(window->doc()->canUndo());

    // Private: saved, and still private.
    std::string mine = project(scratch.file("mine.tvl"), 0600);
    openChanged(mine);
    window->Command(kCmdSave);
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_EQ(modeOf(mine), 0600u);
    EXPECT_EQ(pathsIn(mine), 1u);
    EXPECT_FALSE(window->doc()->canUndo());

    // A link: the file it names gets the content; the link stays a link.
    std::filesystem::create_directory(scratch.file("real"));
    std::string target = project(scratch.file("real/target.tvl"), 0640);
    std::filesystem::create_symlink("real/target.tvl", scratch.file("link.tvl"));
    openChanged(scratch.file("link.tvl"));
    window->Command(kCmdSave);
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_TRUE(std::filesystem::is_symlink(scratch.file("link.tvl")));
    EXPECT_EQ(pathsIn(target), 1u);
    EXPECT_EQ(modeOf(target), 0640u);

    // A writable file in a folder that is not: written in place, nothing left beside it.
    std::filesystem::create_directory(scratch.file("shut"));
    std::string inside = project(scratch.file("shut/inside.tvl"), 0644);
    ::chmod(scratch.file("shut").c_str(), 0555);
    openChanged(inside);
    window->Command(kCmdSave);
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_EQ(pathsIn(inside), 1u);
    EXPECT_EQ(test::folderListing(scratch.file("shut")), "inside.tvl\n");
    // A new file cannot go there: the save says so.
    prompts.saves = {scratch.file("shut/new.tvl")};
    window->Command(kCmdSaveAs);
    EXPECT_EQ(prompts.messages, std::vector<std::string>{text("e_save_file")});
    ::chmod(scratch.file("shut").c_str(), 0755);
}

}  // namespace
}  // namespace tavlin
