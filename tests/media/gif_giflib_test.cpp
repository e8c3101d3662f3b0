// Cross-checks of our GIF codec against giflib, an independent implementation.

#include <gif_lib.h>
#include <gtest/gtest.h>

#include <random>

#include "media/image/gif_codec.h"
#include "picture_helpers.h"
#include "support/scratch.h"

namespace tavlin {
namespace {

// The first image of a file as giflib sees it, as 0xAARRGGBB with alpha 0
// for the transparent index; nothing when giflib refuses the file.
std::unique_ptr<Image> giflibRead(const std::string& path) {
    int err = 0;
    GifFileType* gif = DGifOpenFileName(path.c_str(), &err);
    if (!gif) return nullptr;
    std::unique_ptr<Image> img;
    if (DGifSlurp(gif) == GIF_OK && gif->ImageCount > 0) {
        const SavedImage& si = gif->SavedImages[0];
        const ColorMapObject* map = si.ImageDesc.ColorMap ? si.ImageDesc.ColorMap : gif->SColorMap;
        GraphicsControlBlock gcb;
        int transparent = -1;
        if (DGifSavedExtensionToGCB(gif, 0, &gcb) == GIF_OK) transparent = gcb.TransparentColor;
        img = std::make_unique<Image>(si.ImageDesc.Width, si.ImageDesc.Height);
        for (size_t i = 0; i < img->pixels.size(); ++i) {
            const int k = si.RasterBits[i];
            const GifColorType c = k < map->ColorCount ? map->Colors[k] : GifColorType{0, 0, 0};
            img->pixels[i] = (k == transparent ? 0u : 0xFF000000u) | uint32_t(c.Red) << 16 | uint32_t(c.Green) << 8 | c.Blue;
        }
    }
    DGifCloseFile(gif, &err);
    return img;
}

struct GiflibPicture {
    int width = 0, height = 0;
    std::vector<GifColorType> global, local;  // power-of-two sizes
    std::vector<uint8_t> indices;             // row-major, top row first
    bool interlaced = false;
    int transparent = -1;
};

bool giflibWrite(const std::string& path, const GiflibPicture& p) {
    int err = 0;
    GifFileType* gif = EGifOpenFileName(path.c_str(), false, &err);
    if (!gif) return false;
    ColorMapObject* global = p.global.empty() ? nullptr : GifMakeMapObject(int(p.global.size()), p.global.data());
    ColorMapObject* local = p.local.empty() ? nullptr : GifMakeMapObject(int(p.local.size()), p.local.data());
    bool ok = true;
    EGifSetGifVersion(gif, p.transparent >= 0);
    const int bits = global ? global->BitsPerPixel : local->BitsPerPixel;
    ok = ok && EGifPutScreenDesc(gif, p.width, p.height, bits, 0, global) == GIF_OK;
    if (p.transparent >= 0) {
        GraphicsControlBlock gcb{DISPOSAL_UNSPECIFIED, false, 0, p.transparent};
        GifByteType ext[4];
        EGifGCBToExtension(&gcb, ext);
        ok = ok && EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, ext) == GIF_OK;
    }
    ok = ok && EGifPutImageDesc(gif, 0, 0, p.width, p.height, p.interlaced, local) == GIF_OK;
    std::vector<int> rows;
    if (p.interlaced) {
        for (auto [start, step] : {std::pair{0, 8}, {4, 8}, {2, 4}, {1, 2}})
            for (int y = start; y < p.height; y += step) rows.push_back(y);
    } else {
        for (int y = 0; y < p.height; ++y) rows.push_back(y);
    }
    for (int y : rows) {
        auto* line = const_cast<GifPixelType*>(p.indices.data() + size_t(y) * size_t(p.width));
        ok = ok && EGifPutLine(gif, line, p.width) == GIF_OK;
    }
    ok = EGifCloseFile(gif, &err) == GIF_OK && ok;
    GifFreeMapObject(global);
    GifFreeMapObject(local);
    return ok;
}

std::vector<GifColorType> randomColours(int n, uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<GifColorType> c(static_cast<size_t>(n));
    for (auto& x : c) x = {uint8_t(rng()), uint8_t(rng()), uint8_t(rng())};
    return c;
}

// What our decoder should produce from a giflib picture.
Image expected(const GiflibPicture& p) {
    const auto& map = p.local.empty() ? p.global : p.local;
    Image img(p.width, p.height);
    for (size_t i = 0; i < img.pixels.size(); ++i) {
        const GifColorType c = map[p.indices[i]];
        img.pixels[i] = (p.indices[i] == p.transparent ? 0u : 0xFF000000u) | uint32_t(c.Red) << 16 |
                        uint32_t(c.Green) << 8 | c.Blue;
    }
    return img;
}

TEST(GiflibReadsOurs, SameColoursForExactPopularityAndTransparentPictures) {
    test::ScratchDir dir;
    std::vector<Image> pictures;
    pictures.push_back(test::paletted(1, 1, 1));
    pictures.push_back(test::paletted(13, 7, 5));
    pictures.push_back(test::paletted(256, 256, 256, 5));  // noisy: many dictionary resets
    pictures.push_back(test::photoLike(160, 120));          // popularity palette
    Image holes = test::paletted(40, 30, 60);
    for (size_t i = 0; i < holes.pixels.size(); i += 7) holes.pixels[i] = 0;
    holes.transparent = true;
    pictures.push_back(holes);
    Image photoHoles = test::photoLike(50, 40);
    photoHoles.pixels[0] = photoHoles.pixels[99] = 0;
    photoHoles.transparent = true;
    pictures.push_back(photoHoles);

    for (size_t n = 0; n < pictures.size(); ++n) {
        const Image& src = pictures[n];
        const std::string path = dir.file("ours" + std::to_string(n) + ".gif");
        ASSERT_TRUE(gif::write(src, path.c_str()));
        auto theirs = giflibRead(path);
        auto ours = gif::read(path.c_str());
        ASSERT_TRUE(theirs) << n;
        ASSERT_TRUE(ours) << n;
        EXPECT_EQ(theirs->pixels, ours->pixels) << n;
        if (gif::buildPalette(src).exact) {
            // Exact palette: giflib sees the very colours we had.
            for (size_t i = 0; i < src.pixels.size(); ++i) {
                if ((src.pixels[i] >> 24) == 0) ASSERT_EQ(theirs->pixels[i] >> 24, 0u);
                else ASSERT_EQ(theirs->pixels[i], src.pixels[i]) << n << " at " << i;
            }
        }
    }
}

TEST(OursReadsGiflib, InterlacedLocalTableTransparentTwoColourAndFullDictionary) {
    test::ScratchDir dir;
    std::mt19937 rng(9);
    auto randomIndices = [&](int w, int h, int colours) {
        std::vector<uint8_t> v(size_t(w) * size_t(h));
        for (auto& x : v) x = uint8_t(rng() % unsigned(colours));
        return v;
    };

    std::vector<GiflibPicture> cases;
    GiflibPicture interlaced{37, 29, randomColours(16, 1), {}, randomIndices(37, 29, 16), true, -1};
    cases.push_back(interlaced);
    GiflibPicture local{20, 11, randomColours(4, 2), randomColours(32, 3), randomIndices(20, 11, 32), false, -1};
    cases.push_back(local);
    GiflibPicture transparent{16, 16, randomColours(8, 4), {}, randomIndices(16, 16, 8), false, 3};
    cases.push_back(transparent);
    GiflibPicture twoColour{33, 17, {{0, 0, 0}, {255, 255, 255}}, {}, randomIndices(33, 17, 2), false, -1};
    cases.push_back(twoColour);
    // Random bytes over 256 colours fill the 4096-code dictionary many times over.
    GiflibPicture noisy{300, 200, randomColours(256, 5), {}, randomIndices(300, 200, 256), false, -1};
    cases.push_back(noisy);
    GiflibPicture shortInterlaced{3, 5, randomColours(4, 6), {}, randomIndices(3, 5, 4), true, 0};
    cases.push_back(shortInterlaced);

    for (size_t n = 0; n < cases.size(); ++n) {
        const std::string path = dir.file("giflib" + std::to_string(n) + ".gif");
        ASSERT_TRUE(giflibWrite(path, cases[n])) << n;
        auto ours = gif::read(path.c_str());
        ASSERT_TRUE(ours) << n;
        const Image want = expected(cases[n]);
        EXPECT_EQ(ours->pixels, want.pixels) << n;
        EXPECT_EQ(ours->transparent, cases[n].transparent >= 0) << n;
    }
    // The two-colour file really uses the smallest code size.
    const std::string two = test::readAll(dir.file("giflib3.gif"));
    EXPECT_EQ(two[13 + 6 + 10], 2);
}

}  // namespace
}  // namespace tavlin
