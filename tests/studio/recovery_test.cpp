// Unsaved work kept for recovery, seen from the studio: the idle step writes
// it, saving and giving it up remove it, the start-up question restores it,
// and a studio killed in the middle of its work loses at most an interval.

#include <signal.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QProcess>

#include "base/paths.h"
#include "base/safe_write.h"
#include "core/autosave.h"
#include "core/recovery_store.h"
#include "core/settings.h"
#include "document/document.h"
#include "document/drag_path.h"
#include "document/project_file.h"
#include "studio/main_window.h"
#include "studio/recovery_offer.h"
#include "studio/studio_app.h"
#include "studio_fixture.h"
#include "support/full_disk.h"

namespace tavlin {

namespace {

namespace fs = std::filesystem;
using test::readAll;
using test::StudioTest;

std::vector<std::string> filesIn(const std::string& folder, const std::string& suffix) {
    std::vector<std::string> out;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (name.size() >= suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
            out.push_back(it->path().string());
    }
    return out;
}

// A saved project with one drag path.
void makeProject(const std::string& file) {
    Document made(200, 150);
    auto path = std::make_unique<DragPath>(made);
    path->addPoint(20, 75, 0, true);
    path->addPoint(180, 75, 0, true);
    path->ranges.push_back({0, made.length - 1});
    path->name = "across";
    made.addObject(std::move(path));
    ASSERT_TRUE(saveProjectFile(made, file));
}

size_t objectsIn(const std::string& project) {
    auto doc = loadProjectFile(project);
    return doc ? doc->objects.size() : 0;
}

class RecoveryStudioTest : public StudioTest {
protected:
    void SetUp() override {
        StudioTest::SetUp();
        if (IsSkipped()) return;
        window = std::make_unique<MainWindow>(80, 0, 400, 400);
        window->UseRecoveryStore(std::make_unique<RecoveryStore>(folder, [this] { return now; }));
        window->NewDocument();
    }
    void TearDown() override {
        if (window) window->Destroy();
        window.reset();
        StudioTest::TearDown();
    }

    std::string folder = scratch.file("state/tavlin/recovery");
    int64_t now = 1'700'000'000'000;
    std::unique_ptr<MainWindow> window;
};

TEST_F(RecoveryStudioTest, EditsAreKeptAfterTheIntervalAndGoWithSaveOrDontSave) {
    std::string project = scratch.file("walk.tvl");
    makeProject(project);
    std::string original = readAll(project);
    ASSERT_EQ(window->Open(project, -1, -1), 1);

    window->Command(kCmdAddPath);
    ASSERT_TRUE(window->doc()->canUndo());
    window->Idle();
    now += 59'000;
    window->Idle();
    EXPECT_TRUE(filesIn(folder, ".recovery").empty());
    // Due while the mouse button is down: it waits for the release.
    now += 1'000;
    window->OnLeftDown(5, 5, 0);
    window->Idle();
    EXPECT_TRUE(filesIn(folder, ".recovery").empty());
    window->OnLeftUp(5, 5, 0);
    window->Idle();
    window->autosave().finishWrite();
    std::vector<std::string> kept = filesIn(folder, ".recovery");
    ASSERT_EQ(kept.size(), 1u);
    auto work = parseRecoveryFile(readAll(kept[0]));
    ASSERT_TRUE(work.ok()) << work.reason();
    EXPECT_EQ(work.value().projectPath, project);
    EXPECT_EQ(work.value().text, writeProject(*window->doc()));
    // The project itself is never touched by the recovery copy.
    EXPECT_EQ(readAll(project), original);

    window->Command(kCmdSave);
    EXPECT_TRUE(filesIn(folder, ".recovery").empty());
    EXPECT_EQ(objectsIn(project), 2u);

    // Changed again and kept; then the user gives the change up.
    window->Command(kCmdAddPath);
    window->Idle();
    now += 60'000;
    window->Idle();
    window->autosave().finishWrite();
    ASSERT_EQ(filesIn(folder, ".recovery").size(), 1u);
    prompts.choices = {1};  // Don't Save
    window->Command(kCmdNew);
    EXPECT_TRUE(filesIn(folder, ".recovery").empty());
    EXPECT_EQ(objectsIn(project), 2u);
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(RecoveryStudioTest, AFullDiskIsToldOnceAndTheProjectStaysAsItWas) {
    test::FullDisk disk;
    std::string project = scratch.file("walk.tvl");
    makeProject(project);
    std::string original = readAll(project);
    window->UseRecoveryStore(std::make_unique<RecoveryStore>(disk.file("recovery"), [this] { return now; }));
    ASSERT_EQ(window->Open(project, -1, -1), 1);
    // A project big enough that its copy cannot fit.
    for (int i = 0; i < 20; ++i) window->Command(kCmdAddPath);
    window->Idle();
    EXPECT_TRUE(prompts.messages.empty());
    disk.fill();
    for (int minute = 0; minute < 3; ++minute) {
        window->Idle();
        now += 60'000;
        window->Idle();
        window->autosave().finishWrite();
    }
    disk.empty();
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].rfind(text("e_autosave"), 0), 0u) << prompts.messages[0];
    EXPECT_EQ(readAll(project), original);
    EXPECT_TRUE(filesIn(disk.file("recovery"), ".tmp").empty());
    // With room again the next interval keeps it.
    now += 60'000;
    window->Idle();
    window->autosave().finishWrite();
    EXPECT_EQ(filesIn(disk.file("recovery"), ".recovery").size(), 1u);
}

TEST_F(RecoveryStudioTest, TheStartUpQuestionRestoresKeepsDiscardsAndReportsDamage) {
    std::string project = scratch.file("walk.tvl");
    makeProject(project);
    std::string original = readAll(project);
    auto edited = loadProjectFile(project);
    ASSERT_NE(edited, nullptr);
    edited->objects[0]->name = "edited";
    std::string editedText = writeProject(*edited);

    fs::create_directories(folder);
    auto plant = [&](const std::string& name, const std::string& path, int64_t at, const std::string& text) {
        std::string file = joinPath(folder, name);
        EXPECT_TRUE(writeFileSafely(file, formatRecoveryFile(path, at, text)).ok());
        return file;
    };
    std::string restore = plant("11-1-0.walk.tvl.recovery", project, now - 1'000, editedText);
    std::string keep = plant("12-1-0.untitled.recovery", "", now - 2'000, editedText);
    std::string discard = plant("13-1-0.untitled.recovery", "", now - 3'000, editedText);
    std::string unreadable = plant("14-1-0.gone.tvl.recovery", "/p/gone.tvl", now - 4'000, "not a project\n");
    std::string cutOff = joinPath(folder, "15-1-0.cut.recovery");
    ASSERT_TRUE(writeFileSafely(cutOff, "tavlin recovery 1\npath /p/c").ok());
    // A studio still running: its work is not offered.
    RecoveryStore live(folder);
    ASSERT_TRUE(live.write("/p/live.tvl", editedText).ok());

    prompts.choices = {0, 1, 2, 0};
    offerRecoveredWork(*window);

    ASSERT_EQ(prompts.questions.size(), 4u);
    EXPECT_NE(prompts.questions[0].find(project), std::string::npos);
    EXPECT_NE(prompts.questions[1].find(text("newdoc")), std::string::npos);
    EXPECT_NE(prompts.questions[3].find("/p/gone.tvl"), std::string::npos);
    ASSERT_EQ(prompts.messages.size(), 2u);
    EXPECT_NE(prompts.messages[0].find(cutOff + ".damaged"), std::string::npos);
    EXPECT_NE(prompts.messages[1].find(unreadable + ".damaged"), std::string::npos);
    EXPECT_NE(readAll(unreadable + ".damaged").find("\n\nnot a project\n"), std::string::npos);

    // Restored: modified, bearing its path, and kept under this studio's name.
    ASSERT_NE(window->doc(), nullptr);
    EXPECT_EQ(window->doc()->fileName, project);
    EXPECT_TRUE(window->doc()->canUndo());
    ASSERT_EQ(window->doc()->objects.size(), 1u);
    EXPECT_EQ(window->doc()->objects[0]->name, "edited");
    EXPECT_EQ(window->title(), project + " - " + text("title"));
    EXPECT_FALSE(fileExists(restore));
    EXPECT_FALSE(fileExists(discard));
    EXPECT_TRUE(fileExists(keep));
    EXPECT_TRUE(fileExists(live.currentFile()));
    std::string own = window->recovery().currentFile();
    ASSERT_TRUE(fileExists(own));
    EXPECT_EQ(parseRecoveryFile(readAll(own)).value().text, editedText);
    EXPECT_EQ(readAll(project), original);
}

// The studio of the end-to-end test below: opens the project, adds a path
// and runs until it is killed.
int runChildStudio(const std::string& appDir, const std::string& project) {
    setExecutableDirForTesting(appDir);
    StudioOptions options;
    options.path = project;
    options.splashWait = false;
    options.qtPrompts = false;
    std::unique_ptr<MainWindow> main = startStudio(options);
    if (!main || !main->doc()) return 2;
    main->Command(kCmdAddPath);
    return runStudio(std::move(main));
}

TEST_F(RecoveryStudioTest, AKilledStudiosWorkIsRestoredAndSavedToItsPath) {
    window->Destroy();
    window.reset();
    std::string appDir = scratch.file("app");
    fs::create_directories(appDir);
    fs::create_directory_symlink(test::shippedResFolder(), joinPath(appDir, "res"));
    scratch.write("app/tavlin.rc", std::string(kAutosaveSetting) + "=1\n");
    std::string project = scratch.file("walk.tvl");
    makeProject(project);
    std::string original = readAll(project);
    std::string state = scratch.file("state");

    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_STATE_HOME", QString::fromStdString(state));
    env.insert("QT_QPA_PLATFORM", "offscreen");
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    child.start(QCoreApplication::applicationFilePath(),
                {"--recovery-child", QString::fromStdString(appDir), QString::fromStdString(project)});
    ASSERT_TRUE(child.waitForStarted(10'000));
    std::vector<std::string> kept;
    for (int i = 0; i < 600 && kept.empty() && child.state() == QProcess::Running; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        kept = filesIn(folder, ".recovery");
    }
    ASSERT_EQ(kept.size(), 1u) << "the running studio kept no copy";
    // While it runs, its work is its own.
    {
        RecoveryStore other(folder);
        EXPECT_TRUE(other.findOrphans().empty());
    }
    ::kill(pid_t(child.processId()), SIGKILL);
    ASSERT_TRUE(child.waitForFinished(10'000));
    EXPECT_EQ(child.exitStatus(), QProcess::CrashExit);
    EXPECT_EQ(filesIn(folder, ".recovery"), kept);
    EXPECT_EQ(readAll(project), original);

    // Started again, the user restores the work and saves it.
    std::string oldState = std::getenv("XDG_STATE_HOME") ? std::getenv("XDG_STATE_HOME") : "";
    setenv("XDG_STATE_HOME", state.c_str(), 1);
    setExecutableDirForTesting(appDir);
    prompts.choices = {0};
    StudioOptions options;
    options.splashWait = false;
    options.qtPrompts = false;
    window = startStudio(options);
    setenv("XDG_STATE_HOME", oldState.c_str(), 1);
    ASSERT_NE(window, nullptr);
    ASSERT_EQ(prompts.questions.size(), 1u);
    EXPECT_NE(prompts.questions[0].find(project), std::string::npos);
    ASSERT_NE(window->doc(), nullptr);
    EXPECT_EQ(window->doc()->fileName, project);
    EXPECT_EQ(window->doc()->objects.size(), 2u);
    window->Command(kCmdSave);
    EXPECT_TRUE(prompts.saveFilters.empty());
    EXPECT_EQ(objectsIn(project), 2u);
    EXPECT_TRUE(filesIn(folder, ".recovery").empty());
    // A normal end leaves nothing behind.
    window->Destroy();
    window.reset();
    EXPECT_TRUE(fs::is_empty(folder));
    setExecutableDirForTesting("");
    resources().Open(test::shippedResFolder());
    settings().Load(scratch.file("tavlin.rc"));
}

}  // namespace

// Called by the test program's main() for "--recovery-child APPDIR PROJECT".
int runRecoveryChild(int argc, char** argv) {
    if (argc < 4) return 2;
    return runChildStudio(argv[2], argv[3]);
}

}  // namespace tavlin
