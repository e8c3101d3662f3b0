// The settings file is the user's and other studios': saving never drops
// what it did not change, never writes over what it could not read, and
// never lets one value turn into other keys.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "core/recent_files.h"
#include "core/settings.h"
#include "support/full_disk.h"
#include "support/recording_prompts.h"
#include "support/scratch.h"

namespace tavlin {
namespace {

// Runs `body` in a child process and returns its exit code (the number of
// problems it found, or 77 for "cannot run here").
template <class F>
int inChild(F body) {
    pid_t pid = ::fork();
    if (pid == 0) ::_exit(body());
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 99;
}

TEST(SettingsShared, TwoStudiosSavingInALoopKeepEachOthersChanges) {
    test::ScratchDir dir;
    const std::string path = dir.write("tavlin.rc", "histlen=1000\nkeep=me\n");
    constexpr int kRounds = 60;
    auto studio = [&](char who) {
        return [&, who] {
            int problems = 0;
            Settings s;
            s.Load(path);
            RecentFiles recent(s);
            for (int i = 0; i < kRounds; ++i) {
                if (!recent.Add(std::string("/p") + who + "/" + std::to_string(i) + ".tvl")) ++problems;
                // A reader meets a whole file, never a cut-off one.
                std::string text = test::readAll(path);
                if (text.empty() || text.back() != '\n' || text.find("histlen=1000\n") != 0) ++problems;
            }
            s.Set(std::string("own_") + who, "1");
            if (!s.Save()) ++problems;
            return std::min(problems, 60);
        };
    };
    pid_t a = ::fork();
    if (a == 0) ::_exit(studio('a')());
    int b = inChild(studio('b'));
    int statusA = 0;
    ::waitpid(a, &statusA, 0);
    EXPECT_EQ(b, 0);
    EXPECT_TRUE(WIFEXITED(statusA) && WEXITSTATUS(statusA) == 0) << statusA;

    Settings after;
    after.Load(path);
    RecentFiles recent(after);
    recent.Load();
    EXPECT_EQ(recent.entries().size(), size_t(2 * kRounds));
    for (char who : {'a', 'b'}) {
        for (int i = 0; i < kRounds; ++i) {
            const std::string p = std::string("/p") + who + "/" + std::to_string(i) + ".tvl";
            EXPECT_NE(std::find(recent.entries().begin(), recent.entries().end(), p), recent.entries().end()) << p;
        }
        EXPECT_EQ(after.Get(std::string("own_") + who), "1");
    }
    EXPECT_EQ(after.Get("keep"), "me");
    EXPECT_EQ(test::folderListing(dir.path()), "tavlin.rc\n");
    EXPECT_TRUE(std::filesystem::exists(path + ".lock"));
}

TEST(SettingsShared, ChangesOfAnotherStudioSurviveAnExitSave) {
    test::ScratchDir dir;
    const std::string path = dir.write("tavlin.rc", "a=1\nb=1\n");
    Settings first, second;
    first.Load(path);
    second.Load(path);
    first.Set("a", "2");
    second.Set("b", "3");
    second.Set("c", "new");
    ASSERT_TRUE(first.Save());
    ASSERT_TRUE(second.Save());
    EXPECT_EQ(test::readAll(path), "a=2\nb=3\nc=new\n");
    // The saving studio now sees the other's value too.
    EXPECT_EQ(second.Get("a"), "2");
}

TEST(SettingsShared, AFileThatCouldNotBeReadIsNeverWritten) {
    test::ScratchDir dir;
    ::chmod(dir.path().c_str(), 0777);
    const std::string path = dir.write("tavlin.rc", "histlen=5\nrecent0=/precious.tvl\n");
    ::chmod(path.c_str(), 0);
    int code = inChild([&] {
        // Root reads anything: drop to an ordinary user first.
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) return 77;
        test::RecordingPrompts prompts;
        Settings s;
        s.Load(path);
        int problems = s.fileState() == Settings::FileState::Unreadable ? 0 : 1;
        RecentFiles recent(s);
        if (recent.Add("/one/more.tvl")) ++problems;
        if (s.Save()) ++problems;
        // Said once, not at every save.
        if (prompts.messages.size() != 1) ++problems;
        return problems;
    });
    if (code == 77) GTEST_SKIP() << "cannot drop privileges here";
    EXPECT_EQ(code, 0);
    ::chmod(path.c_str(), 0600);
    EXPECT_EQ(test::readAll(path), "histlen=5\nrecent0=/precious.tvl\n");
}

TEST(SettingsShared, AReadOnlyFileIsSkippedSilently) {
    test::ScratchDir dir;
    const std::string path = dir.write("tavlin.rc", "k=v\n");
    ::chmod(path.c_str(), 0444);
    test::RecordingPrompts prompts;
    Settings s;
    s.Load(path);
    EXPECT_EQ(s.fileState(), Settings::FileState::Read);
    s.Set("k", "changed");
    EXPECT_FALSE(s.Save());
    EXPECT_EQ(s.Get("k"), "changed");  // kept in memory
    EXPECT_EQ(test::readAll(path), "k=v\n");
    EXPECT_EQ(test::permissions(path), 0444u);
    EXPECT_TRUE(prompts.messages.empty());
}

TEST(SettingsShared, LineBreaksNeverReachTheFile) {
    test::ScratchDir dir;
    const std::string path = dir.write("tavlin.rc", "histlen=20\n");
    Settings s;
    s.Load(path);
    RecentFiles recent(s);
    ASSERT_TRUE(recent.Add("/fine.tvl"));
    for (const char* hostile : {"/x\nhistlen=0", "/y\rtmp_dir=/evil", "/z\r\nrecent0=/gone"})
        EXPECT_FALSE(recent.Add(hostile)) << hostile;
    EXPECT_FALSE(s.Set("tmp_dir", "/a\nhistlen=0"));
    EXPECT_FALSE(s.Set("a\nb", "1"));
    EXPECT_FALSE(s.Set("a=b", "1"));
    EXPECT_TRUE(s.Save());

    Settings back;
    back.Load(path);
    EXPECT_EQ(back.Find("tmp_dir"), nullptr);
    EXPECT_EQ(back.Get("histlen"), "20");
    RecentFiles again(back);
    again.Load();
    EXPECT_EQ(again.entries(), (std::vector<std::string>{"/fine.tvl"}));
}

TEST(SettingsShared, SavingHoldsTheWritePolicy) {
    test::expectWritePolicy([](const std::string& path, int version) {
        Settings s;
        s.Load(path);
        for (int i = 0; i < (version == 1 ? 1 : 300); ++i) s.Set("key" + std::to_string(i), std::to_string(version));
        return s.Save();
    });
}

}  // namespace
}  // namespace tavlin
