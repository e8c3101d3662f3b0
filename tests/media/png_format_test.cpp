#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <cstring>
#include <random>

#include "media/image/image_formats.h"
#include "picture_helpers.h"
#include "support/scratch.h"

namespace tavlin {
namespace {

// Writes a PNG of any colour type with libpng's simplest path, so that the
// reader meets files it did not write itself.
struct RawPng {
    int width = 1, height = 1, colorType = PNG_COLOR_TYPE_RGB, depth = 8;
    bool interlaced = false;
    std::vector<uint8_t> data;  // packed rows as the format stores them (16-bit big-endian)
    std::vector<png_color> palette;
    std::vector<uint8_t> trnsAlpha;  // palette transparency
    png_color_16 trnsColor{};
    bool hasTrnsColor = false;
};

bool writeRaw(const std::string& path, const RawPng& p) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(f);
        return false;
    }
    png_init_io(png, f);
    png_set_IHDR(png, info, png_uint_32(p.width), png_uint_32(p.height), p.depth, p.colorType,
                 p.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (!p.palette.empty()) png_set_PLTE(png, info, p.palette.data(), int(p.palette.size()));
    if (!p.trnsAlpha.empty()) png_set_tRNS(png, info, p.trnsAlpha.data(), int(p.trnsAlpha.size()), nullptr);
    if (p.hasTrnsColor) png_set_tRNS(png, info, nullptr, 0, const_cast<png_color_16*>(&p.trnsColor));
    png_write_info(png, info);
    const size_t rowBytes = p.data.size() / size_t(p.height);
    std::vector<png_bytep> rows(size_t(p.height));
    for (int y = 0; y < p.height; ++y) rows[size_t(y)] = const_cast<png_bytep>(p.data.data() + size_t(y) * rowBytes);
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(f) == 0;
}

TEST(PngFormat, RoundTripKeepsEveryChannelAndSetsTheFlag) {
    test::ScratchDir dir;
    PngFormat fmt;
    Image img = test::photoLike(31, 17);
    img.pixels[0] = 0x00000000;
    img.pixels[1] = 0x80112233;
    ASSERT_TRUE(fmt.write(dir.file("a.png"), img));
    auto back = fmt.read(dir.file("a.png"));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->width, 31);
    EXPECT_EQ(back->height, 17);
    EXPECT_EQ(back->pixels, img.pixels);
    EXPECT_TRUE(back->transparent);  // written as RGBA, so it has an alpha channel
}

TEST(PngFormat, GreyPaletteAndSixteenBitFilesExpandToRgb) {
    test::ScratchDir dir;
    PngFormat fmt;

    // 16-bit grey with a transparency chunk: 8-bit RGBA, flag set.
    RawPng grey16;
    grey16.width = 3, grey16.colorType = PNG_COLOR_TYPE_GRAY, grey16.depth = 16;
    grey16.data = {0x12, 0x34, 0xAB, 0xCD, 0xFF, 0xFF};
    grey16.trnsColor.gray = 0xABCD;
    grey16.hasTrnsColor = true;
    ASSERT_TRUE(writeRaw(dir.file("g16.png"), grey16));
    auto img = fmt.read(dir.file("g16.png"));
    ASSERT_TRUE(img);
    EXPECT_TRUE(img->transparent);
    EXPECT_EQ(img->pixels[0], 0xFF121212u);
    EXPECT_EQ(img->pixels[1] >> 24, 0u);
    EXPECT_EQ(img->pixels[2], 0xFFFFFFFFu);

    // 2-bit grey, no transparency: opaque, flag clear.
    RawPng grey2;
    grey2.width = 4, grey2.colorType = PNG_COLOR_TYPE_GRAY, grey2.depth = 2;
    grey2.data = {0b00011011};
    ASSERT_TRUE(writeRaw(dir.file("g2.png"), grey2));
    img = fmt.read(dir.file("g2.png"));
    ASSERT_TRUE(img);
    EXPECT_FALSE(img->transparent);
    EXPECT_EQ(img->pixels, (std::vector<uint32_t>{0xFF000000, 0xFF555555, 0xFFAAAAAA, 0xFFFFFFFF}));

    // Palette with per-entry alpha, interlaced.
    RawPng pal;
    pal.width = 2, pal.height = 2, pal.colorType = PNG_COLOR_TYPE_PALETTE, pal.interlaced = true;
    pal.palette = {{255, 0, 0}, {0, 0, 255}};
    pal.trnsAlpha = {0x40};
    pal.data = {0, 1, 1, 0};
    ASSERT_TRUE(writeRaw(dir.file("p.png"), pal));
    img = fmt.read(dir.file("p.png"));
    ASSERT_TRUE(img);
    EXPECT_TRUE(img->transparent);
    EXPECT_EQ(img->pixels, (std::vector<uint32_t>{0x40FF0000, 0xFF0000FF, 0xFF0000FF, 0x40FF0000}));

    // 16-bit RGB: high bytes kept, opaque.
    RawPng rgb16;
    rgb16.colorType = PNG_COLOR_TYPE_RGB, rgb16.depth = 16;
    rgb16.data = {0x10, 0xFF, 0x20, 0xFF, 0x30, 0xFF};
    ASSERT_TRUE(writeRaw(dir.file("c16.png"), rgb16));
    img = fmt.read(dir.file("c16.png"));
    ASSERT_TRUE(img);
    EXPECT_FALSE(img->transparent);
    EXPECT_EQ(img->pixels[0], 0xFF102030u);
}

// A PNG signature and IHDR chunk declaring the given size, with a valid CRC.
std::string pngHeader(uint32_t w, uint32_t h) {
    std::string s("\x89PNG\r\n\x1a\n", 8);
    uint8_t chunk[17] = {'I', 'H', 'D', 'R', uint8_t(w >> 24), uint8_t(w >> 16), uint8_t(w >> 8), uint8_t(w),
                         uint8_t(h >> 24), uint8_t(h >> 16), uint8_t(h >> 8), uint8_t(h), 8, 6, 0, 0, 0};
    const uint32_t crc = uint32_t(crc32(0, chunk, 17));
    s += std::string("\0\0\0\x0d", 4) + std::string(reinterpret_cast<char*>(chunk), 17);
    for (int k = 3; k >= 0; --k) s += char(crc >> (8 * k));
    return s;
}

TEST(PngFormat, DamagedOrAbsurdFilesYieldNothing) {
    test::ScratchDir dir;
    PngFormat fmt;
    EXPECT_FALSE(fmt.read(dir.file("missing.png")));
    EXPECT_FALSE(fmt.read(dir.write("empty.png", "")));
    EXPECT_FALSE(fmt.read(dir.write("huge.png", pngHeader(100000, 100000) + std::string(64, '\0'))));

    ASSERT_TRUE(fmt.write(dir.file("good.png"), test::photoLike(40, 30)));
    const std::string good = test::readAll(dir.file("good.png"));
    // Truncated at every chunk boundary and inside every chunk: refused
    // while pixel data is missing, read once only the end chunk is missing
    // or cut (nothing after the pixel data is needed).
    const auto whole = fmt.read(dir.file("good.png"));
    ASSERT_TRUE(whole);
    for (size_t pos = 8; pos < good.size();) {
        const uint32_t len = uint32_t(uint8_t(good[pos])) << 24 | uint32_t(uint8_t(good[pos + 1])) << 16 |
                             uint32_t(uint8_t(good[pos + 2])) << 8 | uint8_t(good[pos + 3]);
        const bool endChunk = good.compare(pos + 4, 4, "IEND") == 0;
        for (size_t cut : {pos, pos + 4, pos + 6, pos + 8 + len / 2, pos + 8 + len, pos + 10 + len}) {
            const std::string name = dir.write("cut" + std::to_string(cut) + ".png", good.substr(0, cut));
            auto read = fmt.readWithReason(name);
            if (endChunk) {
                ASSERT_TRUE(read) << cut << " " << read.reason();
                EXPECT_EQ(read.value()->pixels, whole->pixels);
            } else {
                EXPECT_FALSE(read) << cut;
                EXPECT_EQ(read.failure(), Failure::Damaged) << cut;
                EXPECT_NE(read.reason().find("damaged PNG image"), std::string::npos) << read.reason();
            }
        }
        pos += 12 + len;
    }
    // Junk where the end chunk should be is not looked at either.
    auto junkEnd = fmt.read(dir.write("junk.png", good.substr(0, good.size() - 12) + "\x01\x02garbage!!"));
    ASSERT_TRUE(junkEnd);
    EXPECT_EQ(junkEnd->pixels, whole->pixels);
    std::mt19937 rng(5);
    for (int round = 0; round < 300; ++round) {
        std::string b = good;
        if (round % 3 == 0) {
            b.resize(rng() % 300);
            for (auto& c : b) c = char(rng());
        } else {
            for (int k = 0; k < 1 + round % 5; ++k) b[8 + rng() % (b.size() - 8)] = char(rng());
        }
        auto img = fmt.read(dir.write("r" + std::to_string(round) + ".png", b));
        if (img) {
            EXPECT_EQ(img->pixels.size(), size_t(img->width) * size_t(img->height));
        }
    }
}

TEST(PngFormat, WriteFailsCleanly) {
    test::ScratchDir dir;
    PngFormat fmt;
    EXPECT_FALSE(fmt.write(dir.file("none/x.png"), Image(2, 2)));
    EXPECT_FALSE(fmt.write(dir.file("empty.png"), Image()));
    Image broken(4, 4);
    broken.pixels.resize(3);  // size does not match the pixels
    EXPECT_FALSE(fmt.write(dir.file("broken.png"), broken));
    if (test::haveFullDevice()) {
        EXPECT_FALSE(fmt.write("/dev/full", test::photoLike(64, 64)));
        EXPECT_TRUE(test::haveFullDevice());  // a failed write removes only regular files
    }
}

}  // namespace
}  // namespace tavlin
