#include <gtest/gtest.h>

#include <cstdio>
#include <jpeglib.h>
#include <random>

#include "media/image/image_formats.h"
#include "picture_helpers.h"
#include "support/scratch.h"

namespace tavlin {
namespace {

int maxChannelError(const Image& a, const Image& b) {
    int worst = 0;
    for (size_t i = 0; i < a.pixels.size(); ++i)
        for (int s = 0; s < 24; s += 8)
            worst = std::max(worst, std::abs(int(a.pixels[i] >> s & 255) - int(b.pixels[i] >> s & 255)));
    return worst;
}

TEST(JpegFormat, RoundTripIsCloseAndOpaqueAndQualityChangesSize) {
    test::ScratchDir dir;
    JpegFormat fmt;
    EXPECT_EQ(fmt.quality, 75);
    Image img = test::photoLike(64, 48);
    img.pixels[0] = 0x00FFFFFF;  // alpha is ignored
    img.transparent = true;
    ASSERT_TRUE(fmt.write(dir.file("q75.jpg"), img));
    auto back = fmt.read(dir.file("q75.jpg"));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->width, 64);
    EXPECT_EQ(back->height, 48);
    EXPECT_FALSE(back->transparent);
    for (uint32_t p : back->pixels) ASSERT_EQ(p >> 24, 0xFFu);
    img.pixels[0] |= 0xFF000000;
    EXPECT_LT(maxChannelError(img, *back), 48);

    fmt.quality = 10;
    ASSERT_TRUE(fmt.write(dir.file("q10.jpg"), img));
    fmt.quality = 100;
    ASSERT_TRUE(fmt.write(dir.file("q100.jpg"), img));
    const size_t s10 = test::readAll(dir.file("q10.jpg")).size(), s75 = test::readAll(dir.file("q75.jpg")).size(),
                 s100 = test::readAll(dir.file("q100.jpg")).size();
    EXPECT_LT(s10, s75);
    EXPECT_LT(s75, s100);
    auto best = fmt.read(dir.file("q100.jpg"));
    ASSERT_TRUE(best);
    EXPECT_LT(maxChannelError(img, *best), maxChannelError(img, *back) + 1);
}

TEST(JpegFormat, GreyFileGivesGreyPixels) {
    test::ScratchDir dir;
    const std::string path = dir.file("grey.jpg");
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_TRUE(f);
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    jpeg_stdio_dest(&c, f);
    c.image_width = 16, c.image_height = 8, c.input_components = 1, c.in_color_space = JCS_GRAYSCALE;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 95, TRUE);
    jpeg_start_compress(&c, TRUE);
    uint8_t line[16];
    for (int x = 0; x < 16; ++x) line[x] = uint8_t(x * 16);
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = line;
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    std::fclose(f);

    auto img = JpegFormat().read(path);
    ASSERT_TRUE(img);
    for (uint32_t p : img->pixels) {
        ASSERT_EQ(p >> 24, 0xFFu);
        ASSERT_EQ(p >> 16 & 255, p & 255);
        ASSERT_EQ(p >> 8 & 255, p & 255);
    }
    EXPECT_NEAR(int(img->at(15, 3) & 255), 240, 6);
}

TEST(JpegFormat, DamagedOrAbsurdFilesNeverAbort) {
    test::ScratchDir dir;
    JpegFormat fmt;
    EXPECT_FALSE(fmt.read(dir.file("missing.jpg")));
    EXPECT_FALSE(fmt.read(dir.write("empty.jpg", "")));
    EXPECT_FALSE(fmt.read(dir.write("text.jpg", "not a picture at all")));
    ASSERT_TRUE(fmt.write(dir.file("good.jpg"), test::photoLike(40, 24)));
    std::string good = test::readAll(dir.file("good.jpg"));

    // The frame header claims 65000 x 65000: refused before any pixel exists.
    std::string huge = good;
    size_t sof = huge.find("\xFF\xC0");
    ASSERT_NE(sof, std::string::npos);
    huge[sof + 5] = huge[sof + 7] = char(0xFD);
    huge[sof + 6] = huge[sof + 8] = char(0xE8);
    EXPECT_FALSE(fmt.read(dir.write("huge.jpg", huge)));

    // Cut at every segment boundary before the scan, then all through the
    // scan: nothing, or a complete-size picture, never a crash.
    std::vector<size_t> cuts = {0, 1, 2};
    for (size_t pos = 2; pos + 4 <= good.size() && uint8_t(good[pos]) == 0xFF;) {
        const size_t len = size_t(uint8_t(good[pos + 2])) << 8 | uint8_t(good[pos + 3]);
        cuts.insert(cuts.end(), {pos + 2, pos + 4, pos + 2 + len});
        if (uint8_t(good[pos + 1]) == 0xDA) break;  // start of scan
        pos += 2 + len;
    }
    EXPECT_GE(cuts.size(), 15u);  // SOI, APP0, DQTs, SOF, DHTs, SOS
    for (size_t cut = cuts.back(); cut < good.size(); cut += 5) cuts.push_back(cut);
    for (size_t cut : cuts) {
        auto img = fmt.read(dir.write("cut" + std::to_string(cut) + ".jpg", good.substr(0, cut)));
        if (img) {
            EXPECT_EQ(img->width, 40);
        }
    }
    std::mt19937 rng(2);
    for (int round = 0; round < 300; ++round) {
        std::string b = good;
        // Past the frame header, so no round asks for a legitimately huge picture.
        const size_t from = sof + 10;
        for (int k = 0; k < 1 + round % 6; ++k) b[from + rng() % (b.size() - from)] = char(rng());
        auto img = fmt.read(dir.write("r" + std::to_string(round) + ".jpg", b));
        if (img) {
            EXPECT_EQ(img->pixels.size(), size_t(img->width) * size_t(img->height));
        }
    }
}

TEST(JpegFormat, WriteFailsCleanly) {
    test::ScratchDir dir;
    JpegFormat fmt;
    EXPECT_FALSE(fmt.write(dir.file("none/x.jpg"), Image(2, 2)));
    EXPECT_FALSE(fmt.write(dir.file("empty.jpg"), Image()));
    if (test::haveFullDevice()) {
        EXPECT_FALSE(fmt.write("/dev/full", test::photoLike(64, 64)));
        EXPECT_TRUE(test::haveFullDevice());  // a failed write removes only regular files
    }
}

}  // namespace
}  // namespace tavlin
