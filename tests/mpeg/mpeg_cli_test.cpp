// The command-line tool on MPEG files: the index command, and info and frame
// through the MPEG format.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdlib>

#include "mpeg_streams.h"
#include "support/scratch.h"

namespace tavlin {
namespace {

struct Outcome {
    int status = -1;
    std::string out, err;
};

Outcome run(const test::ScratchDir& dir, const std::vector<std::string>& args) {
    auto quote = [](const std::string& s) {
        std::string q = "'";
        for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
        return q + "'";
    };
    std::string cmd = quote(TAVLIN_CLI);
    for (const auto& a : args) cmd += " " + quote(a);
    cmd += " >" + quote(dir.file("stdout")) + " 2>" + quote(dir.file("stderr"));
    const int raw = std::system(cmd.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, test::readAll(dir.file("stdout")), test::readAll(dir.file("stderr"))};
}

int64_t modified(const std::string& p) {
    struct stat st {};
    ::stat(p.c_str(), &st);
    return int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

TEST(MpegCli, IndexInfoAndFrame) {
    test::ScratchDir dir;
    test::MpegSpec recipe;
    recipe.container = test::MpegContainer::Transport;
    const std::string video = dir.file("clip.mpg");
    ASSERT_TRUE(test::makeMpeg(video, recipe));

    Outcome r = run(dir, {"video", "index", video});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, video + ".index\n");
    const int64_t built = modified(video + ".index");
    r = run(dir, {"video", "index", video});
    EXPECT_EQ(r.out, video + ".index\n");
    EXPECT_EQ(modified(video + ".index"), built) << "an existing index is kept";
    r = run(dir, {"video", "index", video, "--force"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(modified(video + ".index"), built) << "--force builds it again";

    r = run(dir, {"video", "info", video, "--json"});
    EXPECT_EQ(r.out, "{\"width\": 96, \"height\": 64, \"frames\": 30, \"rate\": 25, \"format\": \"MPEG video "
                     "(*.mpg;*.mpeg;*.mpv;*.m2v)\"}\n");
    r = run(dir, {"video", "frame", video, "17", dir.file("f17.png")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(test::readAll(dir.file("f17.png")).empty());

    test::writeBytes(dir.file("noise.mpg"), std::vector<uint8_t>(3000, 0x55));
    r = run(dir, {"video", "index", dir.file("noise.mpg")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("noise.mpg"), std::string::npos) << r.err;
    r = run(dir, {"video", "index", dir.file("none.mpg")});
    EXPECT_NE(r.err.find("no such file"), std::string::npos) << r.err;
    EXPECT_EQ(run(dir, {"video", "index"}).status, 1);
}

}  // namespace
}  // namespace tavlin
