// Runs the built `tavlin project` commands on real files.

#include <sys/wait.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "media/image/image_formats.h"
#include "support/cli_run.h"
#include "support/scratch.h"

namespace tavlin {
namespace {

const std::string kExample = test::fixture("projects/one_path.tvl");

using test::CliRun;

class ProjectCli : public ::testing::Test {
protected:
    CliRun run(const std::string& args) { return test::runTool(scratch, args); }
    std::string q(const std::string& path) { return "'" + path + "'"; }

    test::ScratchDir scratch;
};

size_t lineCount(const std::string& s) {
    size_t n = 0;
    for (char c : s) n += c == '\n';
    return n;
}

// A small strict JSON checker: true when `s` is exactly one JSON value.
class JsonCheck {
public:
    explicit JsonCheck(const std::string& s) : s_(s) {}
    bool ok() {
        space();
        if (!value()) return false;
        space();
        return i_ == s_.size();
    }

private:
    void space() {
        while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\n' || s_[i_] == '\t' || s_[i_] == '\r')) ++i_;
    }
    bool lit(const char* w) {
        std::string t(w);
        if (s_.compare(i_, t.size(), t) != 0) return false;
        i_ += t.size();
        return true;
    }
    bool string() {
        if (s_[i_] != '"') return false;
        for (++i_; i_ < s_.size(); ++i_) {
            unsigned char c = static_cast<unsigned char>(s_[i_]);
            if (c == '"') {
                ++i_;
                return true;
            }
            if (c < 0x20) return false;
            if (c == '\\') ++i_;
        }
        return false;
    }
    bool number() {
        size_t start = i_;
        if (s_[i_] == '-') ++i_;
        while (i_ < s_.size() && std::isdigit(static_cast<unsigned char>(s_[i_]))) ++i_;
        return i_ > start && std::isdigit(static_cast<unsigned char>(s_[i_ - 1]));
    }
    bool list(char close, bool members) {
        ++i_;
        space();
        if (i_ < s_.size() && s_[i_] == close) return ++i_, true;
        for (;;) {
            space();
            if (members) {
                if (i_ >= s_.size() || !string()) return false;
                space();
                if (i_ >= s_.size() || s_[i_++] != ':') return false;
                space();
            }
            if (!value()) return false;
            space();
            if (i_ >= s_.size()) return false;
            if (s_[i_] == close) return ++i_, true;
            if (s_[i_++] != ',') return false;
        }
    }
    bool value() {
        if (i_ >= s_.size()) return false;
        char c = s_[i_];
        if (c == '{') return list('}', true);
        if (c == '[') return list(']', false);
        if (c == '"') return string();
        if (c == 't') return lit("true");
        if (c == 'f') return lit("false");
        if (c == 'n') return lit("null");
        return number();
    }
    const std::string& s_;
    size_t i_ = 0;
};

TEST_F(ProjectCli, InfoShowsStageObjectsAndFrameCodes) {
    std::string file = scratch.write("ex.tvl", kExample);
    CliRun r = run("project info " + q(file));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_NE(r.out.find("stage 320 x 240\nlength 100\nframe skip 0\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("drag_path \"dpath0\" rect 40 120 241 1 ranges 0..99 enabled 1 locked 0"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("point 280 120 frame 99\n"), std::string::npos);
    EXPECT_NE(r.out.find("frame codes 0:2 1:3 2:3"), std::string::npos);
    EXPECT_NE(r.out.find(" 99:3\n"), std::string::npos);
}

TEST_F(ProjectCli, InfoJsonIsOneValidObject) {
    std::string text = std::string(kExample);
    text.replace(text.find(".P 280 120 99 1"), 15, ".P 280 120 99 0");
    text.replace(text.find(".."), 2,
                 ".E 1\n.ER 5 6\n.ET 100\n.EF 150\n.EF 7\n.E 3\n.ER 0 0\n.ET 0\n.ETG top\n.EU a\"b\\c\n"
                 ".E 4\n.ER 0 0\n.ET 0\n.EP \xff\x01 ok\n.FFS 50 5\n..");
    std::string file = scratch.write("j.tvl", text);
    CliRun r = run("project info " + q(file) + " --json");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(lineCount(r.out), 1u);
    EXPECT_TRUE(JsonCheck(r.out).ok()) << r.out;
    EXPECT_EQ(r.out.rfind("{\"stage_width\":320,\"stage_height\":240,\"length\":100,\"frame_skip\":0,", 0), 0u)
        << r.out;
    EXPECT_NE(r.out.find("{\"x\":280,\"y\":120,\"frame\":99,\"hand_over\":true}"), std::string::npos);
    EXPECT_NE(r.out.find("\"targets\":[150,7]"), std::string::npos);
    EXPECT_NE(r.out.find("\"address\":\"a\\\"b\\\\c\""), std::string::npos);
    EXPECT_NE(r.out.find("\"text\":\"\\ufffd\\u0001 ok\""), std::string::npos);
    // Frame 50 is fixed as a full frame; 7 is a jump target, 150 lies beyond the timeline.
    std::string codes = r.out.substr(r.out.find("\"frame_codes\""));
    EXPECT_EQ(codes.rfind("\"frame_codes\":[[0,2],[1,3],", 0), 0u) << codes;
    EXPECT_NE(codes.find("[50,1]"), std::string::npos);
    EXPECT_EQ(codes.find("[150,"), std::string::npos);
    EXPECT_NE(codes.find("[99,3]]}"), std::string::npos);
}

TEST_F(ProjectCli, NormalizeWritesTheCanonicalText) {
    std::string messy = kExample;
    messy.replace(messy.find(".OP 40 120 241 1\n.OR 0 99\n"), 26, "# moved\n.OR 0 99\n.OP 40 120 241 1\n");
    std::string in = scratch.write("in.tvl", messy);
    std::string out = scratch.file("out.tvl");
    CliRun r = run("project normalize " + q(in) + " " + q(out));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(test::readAll(out), kExample);
}

TEST_F(ProjectCli, MissingOrRejectedFilesFailWithOneLine) {
    CliRun r = run("project info " + q(scratch.file("nothing.tvl")));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(lineCount(r.err), 1u) << r.err;
    EXPECT_EQ(r.out, "");

    std::string truncated = std::string(kExample).substr(0, 200);
    r = run("project info " + q(scratch.write("t.tvl", truncated)) + " --json");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(lineCount(r.err), 1u) << r.err;
    EXPECT_EQ(r.out, "");

    // Only a stage that would allocate absurdly is refused, and the reason
    // names it; a 4K stage opens.
    r = run("project normalize " + q(scratch.write("big.tvl", ".V 3\n.D 40000 10\n.L 5\n..\n")) + " " +
            q(scratch.file("o.tvl")));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(lineCount(r.err), 1u) << r.err;
    EXPECT_NE(r.err.find("40000"), std::string::npos) << r.err;
    r = run("project normalize " + q(scratch.write("4k.tvl", ".V 3\n.D 4096 2160\n.L 5\n..\n")) + " " +
            q(scratch.file("o.tvl")));
    EXPECT_EQ(r.status, 0) << r.err;

    r = run("project render " + q(scratch.write("ok.tvl", kExample)) + " 100 " + q(scratch.file("x.png")));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(lineCount(r.err), 1u) << r.err;
}

TEST_F(ProjectCli, MapPrintsTheFrameADragSets) {
    // A U: a drag from the turn goes on along the later leg.
    std::string u = scratch.write("u.tvl",
                                  ".V 3\n.D 320 240\n.L 301\n.O 2\n.OR 0 300\n.P 0 0 0 1\n.P 300 0 100 1\n"
                                  ".P 300 40 200 1\n.P 0 40 300 1\n..\n");
    auto r = run("project map " + q(u) + " 150 15 --frame 150");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "245\n");
    // Dragging along the first leg keeps to it.
    r = run("project map " + q(u) + " 150 15 --frame 50 --object 0");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_LT(std::stoi(r.out), 100) << r.out;
    for (const char* bad : {" 150", " 150 15 --object 3", " 9000 15", " x 15"}) {
        r = run("project map " + q(u) + bad);
        EXPECT_EQ(r.status, 1) << bad;
        EXPECT_EQ(lineCount(r.err), 1u) << bad << r.err;
    }
}

TEST_F(ProjectCli, MissingMediaAreIgnoredWithAWarning) {
    std::string text = std::string(kExample);
    text.replace(text.find(".ODMI1 \n"), 8, ".ODMI1 /gone/button.png\n");
    text.replace(text.find(".."), 2, ".E 2\n.ER 0 5\n.ET 0\n.ESR 0\n.EU /gone/sound.au\n..");
    std::string file = scratch.write("m.tvl", text);
    CliRun r = run("project info " + q(file) + " --json");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(lineCount(r.err), 2u) << r.err;
    EXPECT_NE(r.err.find("warning"), std::string::npos);
    EXPECT_NE(r.err.find("/gone/button.png"), std::string::npos);
    EXPECT_NE(r.err.find("/gone/sound.au"), std::string::npos);
    EXPECT_NE(r.out.find("\"sound\":\"\""), std::string::npos);
}

TEST_F(ProjectCli, RenderDrawsSmoothedInPlayModeAndPlainInEditMode) {
    std::string file = scratch.write("r.tvl", kExample);
    std::string play = scratch.file("play.png");
    std::string edit = scratch.file("edit.png");
    CliRun r = run("project render " + q(file) + " 50 " + q(play));
    ASSERT_EQ(r.status, 0) << r.err;
    r = run("project render " + q(file) + " 50 " + q(edit) + " --edit");
    ASSERT_EQ(r.status, 0) << r.err;

    auto a = PngFormat().read(play);
    auto b = PngFormat().read(edit);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->width, 320);
    EXPECT_EQ(a->height, 240);
    // Far from the path the stage is white in both.
    EXPECT_EQ(a->at(160, 20) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(b->at(160, 20) & 0xFFFFFF, 0xFFFFFFu);
    // Edit mode draws the plain line in the normal state colour; play mode
    // blends the smoothed line into the white stage.
    EXPECT_EQ(b->at(160, 120) & 0xFFFFFF, 0xFF8080u);
    bool playTouched = false;
    for (int y = 118; y <= 122; ++y) playTouched |= (a->at(160, y) & 0xFFFFFF) != 0xFFFFFF;
    EXPECT_TRUE(playTouched);
    EXPECT_NE(a->pixels, b->pixels);

    r = run("project render " + q(file) + " x " + q(play));
    EXPECT_EQ(r.status, 1);
}


// Renders a stage with every kind of line for a person to look at (the
// pictures stay in the build folder under "project-renders").
TEST_F(ProjectCli, RenderShowsPathsArrowsAndARotatedThumb) {
    Image thumb(20, 10);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 20; ++x) thumb.at(x, y) = x < 14 ? 0xFF2060FF : 0xFFFF2000;
    std::string thumbPng = scratch.file("thumb.png");
    ASSERT_TRUE(PngFormat().write(thumbPng, thumb));

    auto path = [](const std::string& name, int arrows, int curve, int width, const std::string& points,
                   const std::string& extra) {
        return ".O 2\n.OR 0 99\n.ON " + name + "\n.ODMW0 " + std::to_string(width) + "\n.ODMC0 0 0 0\n.ODMA " +
               std::to_string(arrows) + "\n.ODMB " + std::to_string(curve) + "\n" + extra + points;
    };
    std::string text = ".V 3\n.D 320 240\n.L 100\n.SF 0\n";
    text += path("poly", 3, 0, 1, ".P 20 20 0 1\n.P 150 40 50 1\n.P 300 20 99 1\n", "");
    text += path("bezier", 4, 1, 3, ".P 20 70 0 1\n.P 160 150 50 1\n.P 300 70 99 1\n", "");
    text += path("start", 1, 0, 2, ".P 20 170 0 1\n.P 90 170 99 1\n", "");
    text += path("end", 2, 0, 2, ".P 120 170 0 1\n.P 190 170 99 1\n", "");
    text += path("none", 0, 0, 2, ".P 220 170 0 1\n.P 300 170 99 1\n", "");
    text += path("thumb", 0, 0, 1, ".P 30 220 0 1\n.P 290 200 99 1\n",
                 ".ODMT " + thumbPng + "\n.ODMTD 2\n");
    text += "..\n";
    std::string file = scratch.write("all.tvl", text);

    std::string bin = TAVLIN_CLI;
    std::string folder = bin.substr(0, bin.rfind('/')) + "/../project-renders";
    std::system(("mkdir -p '" + folder + "'").c_str());
    CliRun r = run("project render " + q(file) + " 30 " + q(folder + "/paths-play.png"));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    r = run("project render " + q(file) + " 30 " + q(folder + "/paths-edit.png") + " --edit");
    ASSERT_EQ(r.status, 0) << r.err;

    auto play = PngFormat().read(folder + "/paths-play.png");
    ASSERT_TRUE(play);
    // The thumb rides on the lowest path near a third of its way, turned
    // along it: both of its colours show around there.
    bool blue = false, red = false;
    for (int y = 195; y < 230; ++y)
        for (int x = 90; x < 135; ++x) {
            blue |= (play->at(x, y) & 0xFFFFFF) == 0x2060FF;
            red |= (play->at(x, y) & 0xFFFFFF) == 0xFF2000;
        }
    EXPECT_TRUE(blue && red);
}

// Numbers at the limits the reader accepts still draw, in both modes.
TEST_F(ProjectCli, RenderAtTheLimitsOfWhatLoads) {
    std::string text =
        ".V 3\n.D 2048 2048\n.L 1000000\n.SF 1000000\n"
        ".O 2\n.OP -1000000 -1000000 1000000 1000000\n.OR -1000000 1000000\n.ODMW0 255\n.ODMW1 255\n"
        ".ODMD 255\n.ODMA 7\n.ODMB 1\n.P -1000000 1000000 -1000000 1\n.P 1000000 -1000000 1000000 0\n"
        ".P 0 0 50 0\n"
        ".O 2\n.OR 0 10\n.ODMD 255\n.ODMFT 1\n.ODMW0 -255\n.P 1000000 1000000 0 1\n"
        ".P -1000000 -1000000 1000000 1\n"
        ".O 1\n.OP -1000000 -1000000 1000000 1000000\n.OR 0 1000000\n"
        ".O 0\n.OP 1000000 1000000 1000000 1000000\n.OR 0 99\n"
        ".O 0\n.OP -1000000 -1000000 -1000000 -1000000\n.OR 0 99\n"
        ".E 0\n.ER -1000000 1000000\n.ET 2147483647\n.E 1\n.ER 0 0\n.ET -2147483648\n.EF 1000000\n"
        ".EF -1000000\n..\n";
    std::string file = scratch.write("limits.tvl", text);
    for (std::string mode : {"", " --edit"}) {
        CliRun r = run("project render " + q(file) + " 50 " + q(scratch.file("limits.png")) + mode);
        EXPECT_EQ(r.status, 0) << mode << r.err;
    }
    CliRun r = run("project info " + q(file) + " --json");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(JsonCheck(r.out).ok());
}

}  // namespace
}  // namespace tavlin
