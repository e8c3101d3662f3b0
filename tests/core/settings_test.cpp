#include "core/settings.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>

#include "base/paths.h"
#include "support/scratch.h"

namespace tavlin {
namespace {

std::vector<std::pair<std::string, std::string>> pairs(const Settings& s) {
    std::vector<std::pair<std::string, std::string>> out;
    for (const auto& e : s.entries()) out.emplace_back(e.key, e.value);
    return out;
}

using Pairs = std::vector<std::pair<std::string, std::string>>;

// Files in the folder other than the lock file that saving leaves on purpose:
// a temporary file left behind would show here.
long filesBesideLock(const std::string& folder) {
    long n = 0;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        if (e.path().extension() != ".lock") ++n;
    return n;
}

TEST(SettingsTest, LinesAreSplitAtTheFirstEqualsSign) {
    test::ScratchDir dir;
    std::string path = dir.write("tavlin.rc",
                                 "a=b=c\n"
                                 "=empty key\n"
                                 "dropped=\n"
                                 "no equals sign\n"
                                 "\n"
                                 "crlf=from CR LF\r\n"
                                 "dup=1\n"
                                 "x= spaced value \n"
                                 "dup=2\n"
                                 "last=no line end");
    Settings s;
    s.Load(path);
    EXPECT_EQ(pairs(s), (Pairs{{"a", "b=c"},
                               {"", "empty key"},
                               {"crlf", "from CR LF"},
                               {"dup", "1"},
                               {"x", " spaced value "},
                               {"dup", "2"}}));
    EXPECT_EQ(s.Get("dup", "d"), "1");
    EXPECT_EQ(s.Get("dropped", "d"), "d");
    EXPECT_EQ(s.Get("last", "d"), "d");
    EXPECT_EQ(s.Find("dropped"), nullptr);
}

TEST(SettingsTest, LongLinesAreReadInPiecesOf4095) {
    test::ScratchDir dir;
    // The first piece has no line end and is dropped; the rest is a line of its own.
    std::string path = dir.write("tavlin.rc",
                                 "k=" + std::string(4093, 'v') + "tail=ok\n" +
                                 "long=" + std::string(5000, 'w') + "\n" +
                                 "fits=" + std::string(4089, 'f') + "\n");
    Settings s;
    s.Load(path);
    EXPECT_EQ(s.Find("k"), nullptr);
    EXPECT_EQ(s.Get("tail"), "ok");
    EXPECT_EQ(s.Find("long"), nullptr);
    EXPECT_EQ(s.Get("fits"), std::string(4089, 'f'));
    EXPECT_EQ(s.entries().size(), 2u);
}

TEST(SettingsTest, SetAndSaveKeepFileOrderAndDuplicates) {
    test::ScratchDir dir;
    std::string path = dir.write("tavlin.rc", "b=1\ndup=x\na=2\ndup=y\n");
    Settings s;
    s.Load(path);
    s.Set("new", "n");
    s.Set("dup", "z");  // the first of the two
    s.Set("a", "3");
    s.Set("blank", "");
    ASSERT_TRUE(s.Save());
    EXPECT_EQ(test::readAll(path), "b=1\ndup=z\na=3\ndup=y\nnew=n\nblank=\n");

    // An empty value does not come back.
    Settings again;
    again.Load(path);
    EXPECT_EQ(pairs(again), (Pairs{{"b", "1"}, {"dup", "z"}, {"a", "3"}, {"dup", "y"}, {"new", "n"}}));
    // No temporary file is left beside it.
    EXPECT_EQ(filesBesideLock(dir.path()), 1);
}

TEST(SettingsTest, MissingFileGivesDefaults) {
    test::ScratchDir dir;
    Settings s;
    s.Load(dir.file("tavlin.rc"));
    EXPECT_TRUE(s.entries().empty());
    EXPECT_EQ(s.Get("jpeg_quality", "75"), "75");
    EXPECT_EQ(s.GetInt("histlen", "20"), 20);
    s.Set("histlen", "abc");
    EXPECT_EQ(s.GetInt("histlen", "20"), 0);
    s.Set("histlen", "7x");
    EXPECT_EQ(s.GetInt("histlen", "20"), 7);
    s.Set("histlen", "99999999999999999999999");
    EXPECT_GT(s.GetInt("histlen", "20"), 0);
}

TEST(SettingsTest, FailedSaveKeepsOldFileAndValues) {
    test::ScratchDir dir;
    Settings lost;
    lost.Load(dir.file("no/such/folder/tavlin.rc"));
    lost.Set("k", "v");
    EXPECT_FALSE(lost.Save());
    EXPECT_EQ(lost.Get("k"), "v");

    // A full disk part way through the write: the old file stays whole.
    std::string path = dir.write("tavlin.rc", "keep=me\n");
    Settings s;
    s.Load(path);
    for (int i = 0; i < 200; ++i) s.Set("key" + std::to_string(i), std::string(40, 'x'));
    struct rlimit old {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 1000;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    bool saved = s.Save();
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(saved);
    EXPECT_EQ(test::readAll(path), "keep=me\n");
    EXPECT_EQ(s.Get("key199"), std::string(40, 'x'));
    EXPECT_EQ(filesBesideLock(dir.path()), 1);
    // Room again: the same values save.
    EXPECT_TRUE(s.Save());
    Settings back;
    back.Load(path);
    EXPECT_EQ(back.entries().size(), 201u);
}

class StartupSettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* v : {"XDG_CONFIG_HOME", "HOME"}) {
            const char* cur = std::getenv(v);
            saved_.emplace_back(v, cur ? std::optional<std::string>(cur) : std::nullopt);
        }
    }
    void TearDown() override {
        for (const auto& [name, value] : saved_) {
            if (value) ::setenv(name.c_str(), value->c_str(), 1);
            else ::unsetenv(name.c_str());
        }
        setExecutableDirForTesting("");
    }
    test::ScratchDir dir;
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST_F(StartupSettingsTest, SettingsLiveBesideTheProgramWhenThatFolderIsWritable) {
    setExecutableDirForTesting(dir.path());
    EXPECT_EQ(defaultSettingsPath(), dir.file("tavlin.rc"));
}

TEST_F(StartupSettingsTest, UnwritableProgramFolderFallsBackToTheConfigFolder) {
    setExecutableDirForTesting(dir.file("missing/bin"));
    ::setenv("XDG_CONFIG_HOME", dir.file("cfg").c_str(), 1);
    std::string path = defaultSettingsPath();
    EXPECT_EQ(path, dir.file("cfg/tavlin/tavlin.rc"));
    Settings s;
    s.Load(path);
    s.Set("k", "v");
    EXPECT_TRUE(s.Save());

    // A relative XDG_CONFIG_HOME is ignored in favour of ~/.config.
    ::setenv("XDG_CONFIG_HOME", "relative", 1);
    ::setenv("HOME", dir.file("home").c_str(), 1);
    EXPECT_EQ(defaultSettingsPath(), dir.file("home/.config/tavlin/tavlin.rc"));
    ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(defaultSettingsPath(), dir.file("home/.config/tavlin/tavlin.rc"));
    EXPECT_TRUE(isDirectory(dir.file("home/.config/tavlin")));
}

TEST_F(StartupSettingsTest, LastWebFolderIsSeededOnlyWhenEmpty) {
    setExecutableDirForTesting(dir.path());
    Settings s;
    s.Load(dir.write("tavlin.rc", "other=1\n"));
    seedStartupSettings(s);
    EXPECT_EQ(s.Get("last_web_dir"), dir.file("pages/p1"));

    Settings kept;
    kept.Load(dir.write("tavlin.rc", "last_web_dir=/srv/www\n"));
    seedStartupSettings(kept);
    EXPECT_EQ(kept.Get("last_web_dir"), "/srv/www");

    loadStartupSettings();
    EXPECT_EQ(settings().path(), dir.file("tavlin.rc"));
    EXPECT_EQ(settings().Get("last_web_dir"), "/srv/www");
}

}  // namespace
}  // namespace tavlin
