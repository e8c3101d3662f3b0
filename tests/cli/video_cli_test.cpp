// Runs the built `tavlin` tool on videos made by FFmpeg and on frame lists:
// the printed figures, the pictures written, the complaints, and recording
// from FFmpeg's test source through the capture settings.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>

#include "media/media_registry.h"
#include "support/scratch.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace tavlin {
namespace {

struct Outcome {
    int status = -1;
    std::string out, err;
};

std::string quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

class VideoCli : public ::testing::Test {
protected:
    Outcome run(const std::vector<std::string>& args, const std::string& program = TAVLIN_CLI) {
        std::string cmd = quote(program);
        for (const auto& a : args) cmd += " " + quote(a);
        cmd += " >" + quote(dir.file("stdout")) + " 2>" + quote(dir.file("stderr"));
        Outcome r;
        const int raw = std::system(cmd.c_str());
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        r.out = test::readAll(dir.file("stdout"));
        r.err = test::readAll(dir.file("stderr"));
        return r;
    }
    // A testsrc video recorded by the tool itself from the lavfi input.
    std::string program() {
        const std::string copy = dir.file("tavlin");
        if (!std::filesystem::exists(copy)) {
            std::filesystem::copy_file(TAVLIN_CLI, copy);
            dir.write("tavlin.rc", "capture_format=lavfi\ncapture_device=testsrc=size=96x64:rate=25\n");
        }
        return copy;
    }
    void SetUp() override {
        clearRegistry();
        registerImageFormats();
    }
    void TearDown() override { clearRegistry(); }
    test::ScratchDir dir;
};

// Capture, then every command on the recording: info, frames, a frame list
// written with key frames every 4 and read back.
TEST_F(VideoCli, CaptureInfoFrameAndFrameListsEndToEnd) {
    const std::string avi = dir.file("cap.avi");
    Outcome r = run({"video", "capture", avi, "--seconds", "2", "--rate", "10"}, program());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "20 frames at 10 per second\n");
    r = run({"video", "info", avi});
    EXPECT_EQ(r.out, "96 64 20 10\n");
    r = run({"video", "info", avi, "--json"});
    EXPECT_EQ(r.out, "{\"width\": 96, \"height\": 64, \"frames\": 20, \"rate\": 10, \"format\": \"AVI video (*.avi)\"}\n");
    r = run({"video", "frame", avi, "7", dir.file("f7.png")});
    ASSERT_EQ(r.status, 0) << r.err;
    auto f7 = readImage(dir.file("f7.png"));
    ASSERT_TRUE(f7);
    EXPECT_EQ(f7->width, 96);

    const std::string list = dir.file("vcap.txt");
    r = run({"framelist", "write", avi, list, "--size", "48", "32", "--skip", "1", "--key-every", "4"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");  // no progress line when standard error is not a terminal
    r = run({"framelist", "info", list});
    EXPECT_EQ(r.out.substr(0, r.out.find('\n', r.out.find('\n') + 1) + 1), "48 32 10 10\nS 0 vcaps0.jpg\n");
    r = run({"framelist", "info", list, "--json"});
    EXPECT_TRUE(r.out.starts_with("{\"width\": 48, \"height\": 32, \"frames\": 10, \"records\": [[\"S\", 0, \"vcaps0.jpg\"], [\"D\", 1, "))
        << r.out;
    r = run({"framelist", "frame", list, "9", dir.file("l9.png")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readImage(dir.file("l9.png"))->height, 32);
    r = run({"framelist", "write", avi, dir.file("vc.txt"), "--codes", "2311"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("has 20 timeline frames; --codes gives 4"), std::string::npos) << r.err;
    r = run({"framelist", "write", avi, dir.file("vc.txt"), "--codes", std::string(19, '1') + "1"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(run({"framelist", "info", dir.file("vc.txt")}).out.substr(0, 12), "96 64 20 20\n");
}

TEST_F(VideoCli, ComplaintsAreOneLine) {
    auto oneLine = [](const Outcome& r, const std::string& what) {
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_NE(r.err.find(what), std::string::npos) << r.err;
    };
    oneLine(run({"video", "info", dir.file("none.avi")}), "no such file");
    oneLine(run({"video", "info", dir.write("junk.mov", std::string(5000, 'x'))}), "no video format can open it");
    oneLine(run({"video", "info", dir.write("a.wav", "RIFF")}), "no video format claims");
    oneLine(run({"framelist", "info", dir.write("vbad.txt", "48 32 1 2\nN 0 gone.jpg\n")}), "gone.jpg");
    oneLine(run({"framelist", "frame", dir.write("vzero.txt", "8 8 1 0\n"), "0", dir.file("o.png")}), "has no frames");
    // No camera behind the configured device, and rates outside 1..99.
    const std::string prog = program();
    dir.write("tavlin.rc", "capture_format=v4l2\ncapture_device=/dev/no-such-camera\n");
    Outcome r = run({"video", "capture", dir.file("x.avi"), "--seconds", "1"}, prog);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Error: No driver\n");
    dir.write("tavlin.rc", "capture_format=lavfi\ncapture_device=testsrc=size=32x32:rate=25\n");
    for (const char* rate : {"0", "100", "x"}) {
        r = run({"video", "capture", dir.file("x.avi"), "--seconds", "1", "--rate", rate}, prog);
        EXPECT_EQ(r.err, "Error: Bad rate.\n") << rate;
        EXPECT_FALSE(std::filesystem::exists(dir.file("x.avi")));
    }
}

}  // namespace
}  // namespace tavlin
