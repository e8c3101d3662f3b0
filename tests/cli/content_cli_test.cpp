// Runs the built `tavlin content` commands: a project written as a content
// file, dumped, read back as a project, and refused where it must be.

#include <sys/wait.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "media/image/image_formats.h"
#include "support/cli_run.h"
#include "support/scratch.h"

namespace tavlin {
namespace {

using test::CliRun;

class ContentCli : public ::testing::Test {
protected:
    CliRun run(const std::string& args) { return test::runTool(scratch, args); }
    std::string q(const std::string& path) { return "'" + path + "'"; }
    std::string project(const std::string& name, const std::string& target) {
        Image picture(5, 4);
        for (auto& p : picture.pixels) p = 0xFF00FF00;
        std::string gif = scratch.file("green.gif");
        EXPECT_TRUE(GifFormat().write(gif, picture));
        return scratch.write(name, ".V 3\n.D 320 240\n.L 100\n.SF 0\n.O 1\n.OP 10 20 5 4\n.OR 0 99\n.ON image0\n"
                                   ".OE 1\n.OL 0\n.OI " + gif + "\n.E 3\n.ER 20 30\n.ET 0\n.ETG " + target +
                                   "\n.EU http://example.test/\n..\n");
    }
    test::ScratchDir scratch;
};

TEST_F(ContentCli, WriteDumpAndReadBack) {
    std::string tvl = project("p.tvl", "_blank");
    std::string pub = scratch.file("pub");
    CliRun r = run("content write " + q(tvl) + " " + q(pub) + " --date 20240229");
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_TRUE(std::filesystem::exists(pub + "/tavlin.txt"));

    r = run("content dump " + q(pub + "/tavlin.txt") + " --json");
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char* field : {"\"header_word\":\"0x54564C4E\"", "\"publish_date\":240229", "\"pictures\":[\"i0.gif\"]",
                              "\"kind\":\"image\",\"rect\":[10,20,5,4],\"ranges\":[[0,99]],\"picture\":0",
                              "\"target\":\"_blank\",\"address\":\"http://example.test/\""})
        EXPECT_NE(r.out.find(field), std::string::npos) << field << "\n" << r.out;
    r = run("content dump " + q(pub + "/tavlin.txt"));
    EXPECT_NE(r.out.find("link frames 20..30"), std::string::npos) << r.out;

    // With its picture published beside it, the content reads back whole.
    std::filesystem::copy_file(scratch.file("green.gif"), pub + "/i0.gif");
    r = run("content read " + q(pub + "/tavlin.txt") + " " + q(scratch.file("back.tvl")));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.err.empty()) << r.err;
    std::string back = test::readAll(scratch.file("back.tvl"));
    EXPECT_NE(back.find(".OI " + pub + "/i0.gif\n"), std::string::npos) << back;
    EXPECT_NE(back.find(".ETG _blank\n.EU http://example.test/\n"), std::string::npos) << back;

    // Without it: a warning, and the project still comes back.
    std::filesystem::remove(pub + "/i0.gif");
    r = run("content read " + q(pub + "/tavlin.txt") + " " + q(scratch.file("back2.tvl")));
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.err.find("warning"), std::string::npos);
}

TEST_F(ContentCli, RefusalsExitOneWithOneLine) {
    std::string pub = scratch.file("pub2");
    CliRun r = run("content write " + q(project("long.tvl", std::string(256, 'w'))) + " " + q(pub));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("window name of the link event at frames 20..30 has 256 bytes"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("at most 255"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(pub + "/tavlin.txt"));

    r = run("content write " + q(project("ok.tvl", "_top")) + " " + q(pub) + " --date 20241301");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("not a date"), std::string::npos);

    std::string junk = scratch.write("tavlin.txt", "NCRF\x11\x22\x33\x44\x55\x66\x77\x88");
    r = run("content dump " + q(junk));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    r = run("content read " + q(scratch.file("none.txt")) + " " + q(scratch.file("x.tvl")));
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(std::filesystem::exists(scratch.file("x.tvl")));
    EXPECT_EQ(run("content frobnicate").status, 1);
}

}  // namespace
}  // namespace tavlin
