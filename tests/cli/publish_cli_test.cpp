// Runs the built `tavlin publish`: a project published into a new folder,
// the erase question answered only under --yes, refusals with one line.

#include <sys/wait.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "base/paths.h"
#include "media/audio/au_format.h"
#include "media/image/image_formats.h"
#include "support/scratch.h"

namespace tavlin {
namespace {

namespace fs = std::filesystem;

struct CliResult {
    int status = -1;
    std::string out, err;
};

class PublishCli : public ::testing::Test {
protected:
    CliResult run(const std::string& args) {
        std::string cmd = std::string("'") + TAVLIN_CLI + "' " + args + " >'" + scratch.file("stdout") + "' 2>'" +
                          scratch.file("stderr") + "' </dev/null";
        int rc = std::system(cmd.c_str());
        return {WIFEXITED(rc) ? WEXITSTATUS(rc) : -1, test::readAll(scratch.file("stdout")),
                test::readAll(scratch.file("stderr"))};
    }
    std::string project() {
        Image picture(6, 4);
        for (auto& p : picture.pixels) p = 0xFF2040C0;
        EXPECT_TRUE(PngFormat().write(scratch.file("blue.png"), picture));
        Sound beep;
        beep.data.assign(800, 0x10);
        EXPECT_TRUE(AuFormat().write(scratch.file("beep.au"), beep));
        return scratch.write("show.tvl", ".V 3\n.D 64 48\n.L 10\n.SF 0\n.O 1\n.OP 1 2 6 4\n.OR 0 9\n.ON image0\n.OE 1\n"
                                         ".OL 0\n.OI " + scratch.file("blue.png") + "\n.E 2\n.ER 1 2\n.ET 0\n.ESR 0\n.EU " +
                                         scratch.file("beep.au") + "\n..\n");
    }
    test::ScratchDir scratch;
};

TEST_F(PublishCli, PublishesAndAsksBeforeDeleting) {
    std::string tvl = project();
    std::string site = scratch.file("out/site");
    const std::string steps = " --steps pictures,sounds,content,data,thumb,page --date 2024-02-29";
    CliResult r = run("publish '" + tvl + "' '" + site + "'" + steps + " --zip");
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char* f : {"i0.gif", "a0.au", "tavlin.txt", "data.jar", "thumb.jpg", "index.html", "site.zip"})
        EXPECT_TRUE(fs::exists(site + "/" + f)) << f;
    EXPECT_EQ(test::readAll(site + "/a0.au"), test::readAll(scratch.file("beep.au")));
    EXPECT_NE(test::readAll(site + "/index.html").find("<title>show</title>"), std::string::npos);

    // Again without --yes: the earlier files are listed and nothing changes.
    fs::remove(site + "/thumb.jpg");
    r = run("publish '" + tvl + "' '" + site + "'" + steps);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("  i0.gif\n"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("--yes"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(site + "/thumb.jpg"));
    r = run("publish '" + tvl + "' '" + site + "'" + steps + " --yes");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::exists(site + "/thumb.jpg"));

    // The default steps include the viewer archive, which comes from the
    // resource folder beside the program.
    std::string other = scratch.file("other");
    r = run("publish '" + tvl + "' '" + other + "'");
    bool haveJar = fileExists(joinPath(fs::path(TAVLIN_CLI).parent_path().string(), "res/tavlin.jar"));
    EXPECT_EQ(r.status, haveJar ? 0 : 1) << r.err;
    if (!haveJar) {
        EXPECT_NE(r.err.find("No jar resource"), std::string::npos) << r.err;
    }
    EXPECT_TRUE(fs::exists(other + "/tavlin.txt")) << "the steps before it ran";
}

TEST_F(PublishCli, RefusalsExitOneWithAReason) {
    std::string tvl = project();
    struct Case {
        std::string args, says;
    } cases[] = {
        {"publish", "usage"},
        {"publish '" + tvl + "' x --steps frames,movies", "not a list of steps"},
        {"publish '" + tvl + "' x --jpeg-quality 101", "not a quality"},
        {"publish '" + tvl + "' x --date 1999-12-31", "not a date"},
        {"publish '" + tvl + "' x --frobnicate", "unknown option"},
        {"publish '" + scratch.file("none.tvl") + "' '" + scratch.file("x") + "'", "none.tvl"},
        {"publish '" + tvl + "' '" + tvl + "/sub'", "not a folder"},
    };
    for (const Case& c : cases) {
        CliResult r = run(c.args);
        EXPECT_EQ(r.status, 1) << c.args;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << c.args << "\n" << r.err;
    }
    // A template folder without index.html: the plain page, and a message.
    std::string site = scratch.file("plain");
    CliResult r = run("publish '" + tvl + "' '" + site + "' --steps content,page --template '" + scratch.path() + "'");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(test::readAll(site + "/index.html").rfind("<HTML><HEAD></HEAD><BODY>\r\n", 0), 0u);
}

}  // namespace
}  // namespace tavlin
