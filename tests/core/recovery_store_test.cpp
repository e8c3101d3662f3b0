// Recovery copies with a clock the tests move: when they are written, when
// they go, and that studios sharing the folder leave each other's alone.

#include <gtest/gtest.h>

#include <filesystem>

#include "base/paths.h"
#include "core/autosave.h"
#include "core/recovery_store.h"
#include "support/scratch.h"

namespace tavlin {
namespace {

namespace fs = std::filesystem;
using test::readAll;

std::vector<std::string> filesIn(const std::string& folder, const std::string& suffix) {
    std::vector<std::string> out;
    for (const auto& entry : fs::directory_iterator(folder)) {
        std::string name = entry.path().filename().string();
        if (name.size() >= suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
            out.push_back(entry.path().string());
    }
    return out;
}

class RecoveryTest : public ::testing::Test {
protected:
    std::unique_ptr<RecoveryStore> makeStore() {
        return std::make_unique<RecoveryStore>(folder, [this] { return now; });
    }
    // A file as a studio that died left it: its lock is held by nobody.
    std::string plantOrphan(const std::string& session, const std::string& path, int64_t at, const std::string& text) {
        fs::create_directories(folder);
        std::string file = joinPath(folder, session + "." + recoveryLabel(path) + ".recovery");
        FILE* f = std::fopen(file.c_str(), "wb");
        std::string bytes = formatRecoveryFile(path, at, text);
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
        return file;
    }
    test::ScratchDir scratch;
    std::string folder = scratch.file("state/tavlin/recovery");
    int64_t now = 1'700'000'000'000;
};

// The window's own test drives the interval and the gesture; here what the
// file holds, when it is written again, and the write left to its thread.
TEST_F(RecoveryTest, AutosaveWritesChangedTextOnlyAndFollowsTheProjectsName) {
    auto store = makeStore();
    Autosave autosave(*store);
    autosave.setInterval(60);
    std::string text = ".TAVLIN 1\n..\n";
    int asked = 0;
    auto project = [&] {
        ++asked;
        return text;
    };
    Autosave::State state{true, false, "/home/u/walk.tvl"};
    auto due = [&](const Autosave::State& s) {
        now += 60'000;
        bool started = autosave.step(s, project);
        autosave.finishWrite();
        return started;
    };

    EXPECT_FALSE(autosave.step(state, project));
    EXPECT_EQ(asked, 0);
    const int64_t takenAt = now + 60'000;
    ASSERT_TRUE(due(state));
    std::string file = store->currentFile();
    EXPECT_EQ(fileNameOf(file), store->session() + ".walk.tvl.recovery");
    // It holds the time the text was taken.
    auto kept = parseRecoveryFile(readAll(file));
    ASSERT_TRUE(kept.ok()) << kept.reason();
    EXPECT_EQ(kept.value().projectPath, "/home/u/walk.tvl");
    EXPECT_EQ(kept.value().savedAt, takenAt);
    EXPECT_EQ(kept.value().text, text);
    EXPECT_TRUE(filesIn(folder, ".tmp").empty());

    // Unchanged text is not written again; a changed one is.
    EXPECT_FALSE(due(state));
    text += ".IMAGE x\n";
    ASSERT_TRUE(due(state));
    EXPECT_EQ(parseRecoveryFile(readAll(file)).value().text, text);

    // Saved under another name: the new copy replaces the old file.
    ASSERT_TRUE(due({true, false, ""}));
    EXPECT_FALSE(fileExists(file));
    EXPECT_EQ(fileNameOf(store->currentFile()), store->session() + ".untitled.recovery");
    EXPECT_EQ(filesIn(folder, ".recovery").size(), 1u);

    // Undone back to the saved state: nothing is left to recover.
    EXPECT_FALSE(autosave.step({false, false, ""}, project));
    EXPECT_TRUE(filesIn(folder, ".recovery").empty());

    // A write still running when the work is saved: the file goes all the same.
    EXPECT_FALSE(autosave.step(state, project));
    now += 60'000;
    ASSERT_TRUE(autosave.step(state, project));
    autosave.forget();
    EXPECT_TRUE(filesIn(folder, ".recovery").empty());

    // 0 turns it off.
    autosave.setInterval(0);
    for (int i = 0; i < 3; ++i) EXPECT_FALSE(due(state));
    EXPECT_TRUE(filesIn(folder, ".recovery").empty());

    // A normal end removes the lock as well.
    store.reset();
    EXPECT_TRUE(fs::is_empty(folder));
}

TEST_F(RecoveryTest, StudiosLeaveEachOthersFilesAloneAndShareADeadOnesOnce) {
    auto first = makeStore();
    auto second = makeStore();
    ASSERT_TRUE(first->write("/p/a.tvl", ".A\n").ok());
    ASSERT_TRUE(second->write("/p/a.tvl", ".B\n").ok());
    EXPECT_NE(first->currentFile(), second->currentFile());
    // A running studio with nothing unsaved yet, and one that died so.
    auto idle = makeStore();
    ASSERT_TRUE(idle->open().ok());
    {
        FILE* f = std::fopen(joinPath(folder, "55-1-0.lock").c_str(), "w");
        std::fclose(f);
    }
    // Both are running: neither offers nor removes the other's work.
    EXPECT_TRUE(first->findOrphans().empty());
    EXPECT_FALSE(fileExists(joinPath(folder, "55-1-0.lock")));
    EXPECT_TRUE(fileExists(joinPath(folder, idle->session() + ".lock")));
    idle.reset();
    second->discard(first->currentFile());
    EXPECT_TRUE(fileExists(first->currentFile()));
    first->releaseClaims();

    std::string older = plantOrphan("4242-1-0", "/p/old.tvl", now - 7'200'000, ".OLD\n");
    std::string newer = plantOrphan("4242-1-0", "", now - 60'000, ".NEW\n");
    // A stray lock left by that studio does not make it look alive.
    {
        FILE* f = std::fopen(joinPath(folder, "4242-1-0.lock").c_str(), "w");
        std::fclose(f);
    }

    std::vector<RecoveredWork> offered = first->findOrphans();
    ASSERT_EQ(offered.size(), 2u);
    EXPECT_EQ(offered[0].file, newer);  // newest first
    EXPECT_EQ(offered[0].projectPath, "");
    EXPECT_EQ(offered[0].text, ".NEW\n");
    EXPECT_EQ(offered[1].projectPath, "/p/old.tvl");
    EXPECT_EQ(offered[1].savedAt, now - 7'200'000);
    // While the first studio asks about them, a studio starting now does not.
    auto third = makeStore();
    EXPECT_TRUE(third->findOrphans().empty());

    // One discarded, one kept for later: the kept one is offered next time.
    first->discard(newer);
    first->releaseClaims();
    EXPECT_FALSE(fileExists(newer));
    offered = third->findOrphans();
    ASSERT_EQ(offered.size(), 1u);
    EXPECT_EQ(offered[0].file, older);
    third->discard(older);
    third->releaseClaims();
    // Nothing of that studio is left, not even its lock; the live ones keep theirs.
    EXPECT_FALSE(fileExists(joinPath(folder, "4242-1-0.lock")));
    EXPECT_EQ(filesIn(folder, ".recovery").size(), 2u);
    EXPECT_EQ(filesIn(folder, ".lock").size(), 3u);
}

TEST_F(RecoveryTest, UnreadableCopiesAreKeptAsDamagedAndReported) {
    std::string good = plantOrphan("7-1-0", "/p/good.tvl", now, ".GOOD\n");
    std::vector<std::pair<std::string, std::string>> bad = {
        {"7-2-0.empty.recovery", ""},
        {"7-3-0.magic.recovery", "tavlin recovery 2\npath /x\ntime 1\n\n.X\n"},
        {"7-4-0.cut.recovery", "tavlin recovery 1\npath /x\nti"},
        {"7-5-0.time.recovery", "tavlin recovery 1\npath /x\ntime 12ab\n\n.X\n"},
        {"7-6-0.negative.recovery", "tavlin recovery 1\npath /x\ntime -5\n\n.X\n"},
        {"7-7-0.notext.recovery", "tavlin recovery 1\npath /x\ntime 5\n\n"},
        {"7-8-0.order.recovery", "tavlin recovery 1\ntime 5\npath /x\n\n.X\n"},
        {"7-9-0.binary.recovery", std::string("\0\xff\x89PNG\r\n", 8)},
    };
    for (const auto& [name, bytes] : bad) {
        FILE* f = std::fopen(joinPath(folder, name).c_str(), "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    // Far larger than any project: not read into memory at all.
    bad.push_back({"7-10-0.huge.recovery", ""});
    std::fclose(std::fopen(joinPath(folder, "7-10-0.huge.recovery").c_str(), "wb"));
    fs::resize_file(joinPath(folder, "7-10-0.huge.recovery"), uintmax_t(600) << 20);
    // An older damaged copy of the same name is never overwritten.
    {
        FILE* f = std::fopen(joinPath(folder, "7-2-0.empty.recovery.damaged").c_str(), "w");
        std::fputs("old", f);
        std::fclose(f);
    }

    auto store = makeStore();
    std::vector<std::string> damaged;
    std::vector<RecoveredWork> offered = store->findOrphans(&damaged);
    ASSERT_EQ(offered.size(), 1u);
    EXPECT_EQ(offered[0].file, good);
    ASSERT_EQ(damaged.size(), bad.size());
    for (const auto& [name, bytes] : bad) {
        EXPECT_FALSE(fileExists(joinPath(folder, name))) << name;
        bool reported = false;
        for (const std::string& d : damaged)
            if (fileNameOf(d).rfind(name, 0) == 0) {
                reported = true;
                if (name.find("huge") == std::string::npos) {
                    EXPECT_EQ(readAll(d), bytes) << d;
                }
            }
        EXPECT_TRUE(reported) << name;
    }
    EXPECT_EQ(readAll(joinPath(folder, "7-2-0.empty.recovery.damaged")), "old");
    store->releaseClaims();
    // Reported once: the next start finds only the good one.
    damaged.clear();
    EXPECT_EQ(makeStore()->findOrphans(&damaged).size(), 1u);
    EXPECT_TRUE(damaged.empty());
}

TEST(RecoveryFormat, NamesAreSafeAndTheTextSurvivesExactly) {
    EXPECT_EQ(recoveryLabel(""), "untitled");
    EXPECT_EQ(recoveryLabel("/a/b/My Walk (2).tvl"), "My_Walk__2_.tvl");
    EXPECT_EQ(recoveryLabel("/a/.."), "untitled");
    EXPECT_EQ(recoveryLabel("/a/\xC3\xA9t\xC3\xA9.tvl"), "__t__.tvl");
    EXPECT_EQ(recoveryLabel("/a/" + std::string(300, 'x')).size(), 60u);
    EXPECT_EQ(recoveryLabel("/a/b/c").find('/'), std::string::npos);

    // Paths with blanks and text with carriage returns, zero bytes and no
    // final line feed come back byte for byte.
    std::string text = ".TAVLIN 1\r\n.NAME a b\n" + std::string("\0x", 2) + "\n.END";
    auto back = parseRecoveryFile(formatRecoveryFile("/home/u/my walk.tvl", 12345, text));
    ASSERT_TRUE(back.ok());
    EXPECT_EQ(back.value().projectPath, "/home/u/my walk.tvl");
    EXPECT_EQ(back.value().savedAt, 12345);
    EXPECT_EQ(back.value().text, text);
}

}  // namespace
}  // namespace tavlin
