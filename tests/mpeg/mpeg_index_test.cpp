// Where indexes are found and built: beside the video, in the program's
// "tmp" folder, in the user's cache; reused on the next opening, never
// reused for another video of the same name; a stopped build leaves nothing.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "base/paths.h"
#include "mpeg/mpeg_index.h"
#include "mpeg/mpeg_source.h"
#include "mpeg_streams.h"
#include "support/scratch.h"

namespace tavlin {
namespace {

namespace fs = std::filesystem;

// Counts the builds it watches, and stops the one it is told to.
struct WatchingProgress : Progress {
    int begun = 0, updates = 0;
    std::string title;
    bool stopAtFirst = false;
    void begin(const std::string& t) override {
        ++begun;
        title = t;
    }
    bool update(int64_t, int64_t) override {
        ++updates;
        return !stopAtFirst;
    }
};

class MpegIndexPlaces : public ::testing::Test {
protected:
    void SetUp() override {
        exe = dir.file("program");
        ASSERT_TRUE(makeFolders(joinPath(exe, "tmp")));
        setExecutableDirForTesting(exe);
        const char* old = std::getenv("XDG_CACHE_HOME");
        oldCache = old ? old : "";
        hadCache = old != nullptr;
        ::setenv("XDG_CACHE_HOME", dir.file("cache").c_str(), 1);
    }
    void TearDown() override {
        if (hadCache) ::setenv("XDG_CACHE_HOME", oldCache.c_str(), 1);
        else ::unsetenv("XDG_CACHE_HOME");
    }
    std::string video(const std::string& folder, int frames = 30) {
        makeFolders(dir.file(folder));
        test::MpegSpec s;
        s.frames = frames;
        const std::string p = dir.file(folder + "/clip.mpg");
        EXPECT_TRUE(test::makeMpeg(p, s));
        return p;
    }
    // Makes the index beside the video impossible to write: a read-only
    // folder, and for a user the folder's mode cannot stop, a folder where
    // the index file would go.
    static void blockBeside(const std::string& videoPath) {
        ::chmod(folderOf(videoPath).c_str(), 0555);
        if (::access(folderOf(videoPath).c_str(), W_OK) == 0) fs::create_directory(videoPath + ".index");
    }
    std::unique_ptr<MpegSource> open(const std::string& path, WatchingProgress& progress) {
        auto source = std::make_unique<MpegSource>([&] {
            struct Forward : Progress {
                WatchingProgress& to;
                explicit Forward(WatchingProgress& p) : to(p) {}
                void begin(const std::string& t) override { to.begin(t); }
                bool update(int64_t d, int64_t t) override { return to.update(d, t); }
            };
            return std::make_unique<Forward>(progress);
        });
        if (!source->load(path)) return nullptr;
        return source;
    }
    test::ScratchDir dir;
    std::string exe, oldCache;
    bool hadCache = false;
};

TEST_F(MpegIndexPlaces, BuiltOnceBesideTheVideoUnderItsTitleThenReused) {
    const std::string v = video("a");
    WatchingProgress progress;
    auto first = open(v, progress);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->indexPath(), v + ".index");
    EXPECT_EQ(progress.begun, 1);
    EXPECT_EQ(progress.title, "Creating MPEG index ...");
    EXPECT_GE(progress.updates, 3) << "once a group and once at the end";
    auto second = open(v, progress);
    ASSERT_TRUE(second);
    EXPECT_EQ(progress.begun, 1) << "the second opening reads the index";
    EXPECT_EQ(second->frameCount, 30);

    // A video written after its index gets a new one.
    const std::string again = video("a", 45);
    auto third = open(again, progress);
    ASSERT_TRUE(third);
    EXPECT_EQ(progress.begun, 2);
    EXPECT_EQ(third->frameCount, 45);
}

TEST_F(MpegIndexPlaces, ReadOnlyFolderUsesTheProgramsTmpThenTheCache) {
    const std::string v = video("ro");
    blockBeside(v);
    WatchingProgress progress;
    auto s = open(v, progress);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->indexPath(), joinPath(exe, "tmp/clip.mpg.index"));
    EXPECT_TRUE(s->frameAt(20));
    ASSERT_TRUE(open(v, progress));
    EXPECT_EQ(progress.begun, 1) << "found in tmp on the next opening";

    // Another clip.mpg must not borrow that index: it names its own video.
    const std::string other = video("ro2", 45);
    blockBeside(other);
    auto o = open(other, progress);
    ASSERT_TRUE(o);
    EXPECT_EQ(progress.begun, 2);
    EXPECT_EQ(o->frameCount, 45);

    // No "tmp" that can be written: the user's cache.
    fs::remove_all(joinPath(exe, "tmp"));
    test::writeBytes(joinPath(exe, "tmp"), {'x'});
    const std::string third = video("ro3", 20);
    blockBeside(third);
    auto t = open(third, progress);
    ASSERT_TRUE(t);
    EXPECT_EQ(t->indexPath(), dir.file("cache/tavlin/tmp/clip.mpg.index"));
    EXPECT_EQ(t->frameCount, 20);
    for (const char* f : {"ro", "ro2", "ro3"}) ::chmod(dir.file(f).c_str(), 0755);
}

TEST_F(MpegIndexPlaces, AStoppedBuildLeavesNothingAndTheNextOpeningBuildsAgain) {
    const std::string v = video("s");
    WatchingProgress stopping;
    stopping.stopAtFirst = true;
    MpegSource source([&] {
        struct Stop : Progress {
            bool update(int64_t, int64_t) override { return false; }
        };
        return std::make_unique<Stop>();
    });
    EXPECT_FALSE(source.load(v));
    EXPECT_EQ(source.error(), "stopped");
    for (const auto& e : fs::directory_iterator(dir.file("s")))
        EXPECT_EQ(e.path().filename(), "clip.mpg") << "left behind: " << e.path();
    EXPECT_FALSE(fileExists(joinPath(exe, "tmp/clip.mpg.index")));
    WatchingProgress progress;
    auto s = open(v, progress);
    ASSERT_TRUE(s);
    EXPECT_EQ(progress.begun, 1);
}

TEST_F(MpegIndexPlaces, GroupTimeCodesAreWrittenAsHoursMinutesSecondsPictures) {
    test::MpegSpec s;
    s.timecode = "01:02:03:04";
    const std::string v = dir.file("tc.m2v");
    s.container = test::MpegContainer::Elementary;
    ASSERT_TRUE(test::makeMpeg(v, s));
    ASSERT_EQ(buildMpegIndex(v, v + ".index", silentProgress()), IndexBuild::Built);
    const auto lines = test::fileLines(v + ".index");
    std::string firstGroup;
    for (const auto& l : lines)
        if (l[0] == 'G') {
            firstGroup = l;
            break;
        }
    ASSERT_FALSE(firstGroup.empty());
    EXPECT_EQ(firstGroup.substr(firstGroup.size() - 12), " 01:02:03.04");
    EXPECT_EQ(firstGroup.substr(0, 4), "G 0 ");
}

}  // namespace
}  // namespace tavlin
