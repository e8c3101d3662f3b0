// Runs the built `tavlin` tool on pictures and checks its output, exit status
// and the one-line complaints on standard error.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>

#include "media/image/image_formats.h"
#include "support/scratch.h"

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

class ImageCli : public ::testing::Test {
protected:
    Outcome run(const std::vector<std::string>& args) {
        std::string cmd = quote(TAVLIN_CLI) + " image";
        for (const auto& a : args) cmd += " " + quote(a);
        cmd += " >" + quote(dir.file("stdout")) + " 2>" + quote(dir.file("stderr"));
        Outcome r;
        const int raw = std::system(cmd.c_str());
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        r.out = test::readAll(dir.file("stdout"));
        r.err = test::readAll(dir.file("stderr"));
        return r;
    }
    std::string picture(const std::string& name, int w, int h, bool holes) {
        Image img(w, h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) img.at(x, y) = 0xFF000000u | uint32_t(x * 40) << 16 | uint32_t(y * 40);
        if (holes) img.pixels[0] = 0, img.transparent = true;
        const std::string path = dir.file(name);
        EXPECT_TRUE(findImageFormat(path)->write(path, img));
        return path;
    }
    void SetUp() override {
        clearRegistry();
        registerImageFormats();
    }
    void TearDown() override { clearRegistry(); }
    // One line on standard error naming the file and the fault.
    static void expectComplaint(const Outcome& r, const std::string& file, const std::string& what) {
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_NE(r.err.find(file), std::string::npos) << r.err;
        EXPECT_NE(r.err.find(what), std::string::npos) << r.err;
    }
    test::ScratchDir dir;
};

TEST_F(ImageCli, InfoPrintsSizeAndTransparency) {
    Outcome r = run({"info", picture("a.gif", 5, 3, true)});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "5 3 1\n");
    EXPECT_EQ(r.err, "");
    r = run({"info", picture("b.jpg", 7, 2, false)});
    EXPECT_EQ(r.out, "7 2 0\n");
}

TEST_F(ImageCli, ConvertChoosesTheFormatByNameAndHonoursQuality) {
    const std::string in = picture("in.png", 40, 30, true);
    Outcome r = run({"convert", in, dir.file("out.gif")});
    EXPECT_EQ(r.status, 0) << r.err;
    auto gif = GifFormat().read(dir.file("out.gif"));
    ASSERT_TRUE(gif);
    EXPECT_TRUE(gif->transparent);
    EXPECT_EQ(test::readAll(dir.file("out.gif")).substr(0, 6), "GIF89a");

    ASSERT_EQ(run({"convert", in, dir.file("q10.JPEG"), "--quality", "10"}).status, 0);
    ASSERT_EQ(run({"convert", in, dir.file("q75.jpg")}).status, 0);
    ASSERT_EQ(run({"convert", "--quality", "95", in, dir.file("q95.jpg")}).status, 0);
    const size_t s10 = test::readAll(dir.file("q10.JPEG")).size(), s75 = test::readAll(dir.file("q75.jpg")).size(),
                 s95 = test::readAll(dir.file("q95.jpg")).size();
    EXPECT_LT(s10, s75);
    EXPECT_LT(s75, s95);
    // No temporary files are left behind.
    EXPECT_EQ(run({"info", dir.file("q75.jpg")}).out, "40 30 0\n");
}

TEST_F(ImageCli, ScaleModes) {
    const std::string in = picture("in.png", 4, 4, false);
    EXPECT_EQ(run({"scale", in, dir.file("avg.png"), "2", "2"}).status, 0);
    EXPECT_EQ(run({"info", dir.file("avg.png")}).out, "2 2 1\n");
    EXPECT_EQ(run({"scale", in, dir.file("near.gif"), "8", "2", "--mode", "nearest"}).status, 0);
    auto near = GifFormat().read(dir.file("near.gif"));
    ASSERT_TRUE(near);
    EXPECT_EQ(near->width, 8);
    EXPECT_EQ(near->at(1, 1), near->at(0, 1));
    EXPECT_EQ(run({"scale", in, dir.file("fit.png"), "6", "1", "--mode", "fit"}).status, 0);
    auto fit = PngFormat().read(dir.file("fit.png"));
    ASSERT_TRUE(fit);
    EXPECT_EQ(fit->pixels[5], 0u);  // outside the source: transparent
}

TEST_F(ImageCli, EveryFailureNamesTheFileAndLeavesExistingFilesAlone) {
    const std::string in = picture("in.png", 3, 3, false);
    expectComplaint(run({"info", dir.file("missing.png")}), "missing.png", "no such file");
    expectComplaint(run({"info", dir.write("notes.txt", "hello")}), "notes.txt", "no picture format");
    expectComplaint(run({"info", dir.write("fake.png", "not a png")}), "fake.png", "cannot be decoded");
    // The reason comes from the reader, without probing the file again.
    expectComplaint(run({"info", dir.write("fake.png", "not a png")}), "fake.png", "damaged PNG image: Not a PNG file");
    expectComplaint(run({"info", dir.write("fake.gif", "GIF89a")}), "fake.gif", "damaged GIF image");
    expectComplaint(run({"info", dir.write("text.gif", "hello")}), "text.gif", "not a GIF image");
    expectComplaint(run({"info", dir.write("fake.jpg", "\xff\xd8\xff")}), "fake.jpg", "damaged JPEG image: ");
    const std::string whole = test::readAll(in);
    expectComplaint(run({"info", dir.write("cut.png", whole.substr(0, whole.size() / 2))}), "cut.png", "damaged PNG");
    expectComplaint(run({"convert", in, dir.file("out.bmp")}), "out.bmp", "no picture format");
    expectComplaint(run({"convert", in, dir.file("no/folder/out.png")}), "out.png", "cannot be written");
    expectComplaint(run({"scale", dir.file("gone.gif"), dir.file("o.png"), "2", "2"}), "gone.gif", "no such file");
    expectComplaint(run({"scale", in, dir.file("o.png"), "100000", "100000"}), "o.png", "too large");

    // A picture too wide for GIF fails to write; the old file survives.
    const std::string wide = picture("wide.png", 70000, 1, false);
    const std::string old = picture("keep.gif", 2, 2, false);
    const std::string before = test::readAll(old);
    expectComplaint(run({"convert", wide, old}), "keep.gif", "cannot be written");
    EXPECT_EQ(test::readAll(old), before);
}

TEST_F(ImageCli, BadArgumentsShowUsage) {
    const std::string in = picture("in.png", 2, 2, false);
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {},
             {"info"},
             {"info", in, in},
             {"resize", in},
             {"convert", in},
             {"convert", in, dir.file("o.jpg"), "--quality", "0"},
             {"convert", in, dir.file("o.jpg"), "--quality", "abc"},
             {"convert", in, dir.file("o.jpg"), "--quality"},
             {"convert", in, dir.file("o.jpg"), "--mode", "fit"},
             {"scale", in, dir.file("o.png"), "2"},
             {"scale", in, dir.file("o.png"), "0", "2"},
             {"scale", in, dir.file("o.png"), "2", "-3"},
             {"scale", in, dir.file("o.png"), "2", "2x"},
             {"scale", in, dir.file("o.png"), "2", "2", "--mode", "bicubic"},
         }) {
        Outcome r = run(args);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err.rfind("usage: ", 0), 0u) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1);
    }
    EXPECT_FALSE(test::readAll(dir.file("o.png")).size());
}

}  // namespace
}  // namespace tavlin
