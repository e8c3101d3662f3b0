// `tavlin project add` building projects headless from real pictures, videos
// and sounds made by FFmpeg, and refusing bad media without touching the file.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "support/cli_run.h"
#include "support/scratch.h"

namespace tavlin {
namespace {

using test::CliRun;

class ProjectAddCli : public ::testing::Test {
protected:
    CliRun run(const std::string& args) { return test::runTool(scratch, args); }
    static std::string q(const std::string& path) { return "'" + path + "'"; }
    std::string make(const std::string& name, const std::string& lavfi, const std::string& extra) {
        std::string path = scratch.file(name);
        std::string cmd = "ffmpeg -loglevel error -y -f lavfi -i " + lavfi + " " + extra + " " + q(path);
        EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
        return path;
    }
    test::ScratchDir scratch;
};

TEST_F(ProjectAddCli, PicturesVideosAndSoundsGoWhereTheStudioPutsThem) {
    const std::string project = scratch.write("p.tvl", ".V 3\n.D 640 480\n.L 100\n..\n");
    const std::string big = make("big one.png", "testsrc=size=2000x1500", "-frames:v 1");
    const std::string clip = make("clip.avi", "testsrc=size=320x240:rate=10", "-t 1");
    const std::string beep = make("beep.wav", "sine=duration=0.3", "-ar 8000");
    const std::string out = scratch.file("out.tvl");

    CliRun r = run("project add " + q(project) + " " + q(big) + " -o " + q(out));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(test::readAll(project), ".V 3\n.D 640 480\n.L 100\n..\n") << "-o leaves the original";
    r = run("project add " + q(out) + " " + q(clip) + " --at 100 100 --frame 5");
    ASSERT_EQ(r.status, 0) << r.err;
    r = run("project add " + q(out) + " " + q(beep) + " --frame 5");
    ASSERT_EQ(r.status, 0) << r.err;
    // The same sound at the same frame overlaps its own event.
    r = run("project add " + q(out) + " " + q(beep) + " --frame 5");
    EXPECT_EQ(r.status, 1);

    std::string text = test::readAll(out);
    EXPECT_NE(text.find(".OP 70 52 500 375\n.OR 0 0\n.ON image0\n"), std::string::npos) << text;
    EXPECT_NE(text.find(".OI " + big + "\n"), std::string::npos) << "a full path, spaces kept";
    EXPECT_NE(text.find(".OP -60 -20 320 240\n.OR 5 14\n.ON video0\n"), std::string::npos) << text;
    r = run("project info " + q(out) + " --json");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\"sound\""), std::string::npos) << r.out;
}

TEST_F(ProjectAddCli, BadMediaAndArgumentsFailWithoutWriting) {
    const std::string original = ".V 3\n.D 320 240\n.L 10\n..\n";
    const std::string project = scratch.write("p.tvl", original);
    const std::string liar = scratch.write("liar.png", "plain text wearing a picture's name");
    const std::string empty = scratch.write("empty.wav", "");
    const std::string junk = scratch.write("junk.avi", std::string(3000, '\x7f'));
    const std::string picture = make("ok.png", "testsrc=size=64x48", "-frames:v 1");
    for (const std::string& args :
         {q(project) + " " + q(liar), q(project) + " " + q(empty), q(project) + " " + q(junk),
          q(project) + " " + q(scratch.file("missing.png")), q(project) + " " + q(scratch.write("notes.doc", "x")),
          q(project) + " " + q(picture) + " --frame 10", q(project) + " " + q(picture) + " --at 5",
          q(project) + " " + q(picture) + " --frame x", q(scratch.write("bad.tvl", "garbage")) + " " + q(picture),
          q(project)}) {
        CliRun r = run("project add " + args);
        EXPECT_EQ(r.status, 1) << args;
        EXPECT_FALSE(r.err.empty()) << args;
        EXPECT_EQ(test::readAll(project), original) << args;
    }
}

}  // namespace
}  // namespace tavlin
