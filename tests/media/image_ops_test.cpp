#include <gtest/gtest.h>

#include "media/image.h"

namespace tavlin {
namespace {

TEST(ImageOps, AveragedIgnoresTransparentPixels) {
    Image img(2, 2);
    img.pixels = {0xFF0000FF, 0x00FFFFFF, 0xFF000060, 0xFF000003};
    auto one = scaleAveraged(img, 1, 1);
    ASSERT_TRUE(one);
    EXPECT_EQ(one->pixels[0], 0xFF000000u | (0xFF + 0x60 + 0x03) / 3);

    // One opaque pixel keeps its colour with full alpha; none gives transparent.
    img.pixels = {0x10123456, 0, 0, 0};
    EXPECT_EQ(scaleAveraged(img, 1, 1)->pixels[0], 0xFF123456u);
    img.pixels = {0, 0, 0, 0};
    EXPECT_EQ(scaleAveraged(img, 1, 1)->pixels[0], 0u);
}

TEST(ImageOps, SameSizeCopiesZeroSideGivesWhiteAndFlagIsKept) {
    Image img(3, 2);
    img.pixels[4] = 0x00000000;
    img.transparent = true;
    for (auto op : {scaleAveraged, scaleNearest, fitToSize}) {
        auto same = op(img, 3, 2);
        ASSERT_TRUE(same);
        EXPECT_EQ(same->pixels, img.pixels);
        EXPECT_TRUE(same->transparent);
        auto white = op(img, 0, 5);
        ASSERT_TRUE(white);
        EXPECT_EQ(white->width, 1);
        EXPECT_EQ(white->pixels, std::vector<uint32_t>{0xFFFFFFFFu});
        EXPECT_TRUE(white->transparent);
        EXPECT_FALSE(op(img, 1 << 20, 1 << 20));  // refused, not allocated
    }
}

TEST(ImageOps, NearestAndFit) {
    Image img(2, 2);
    img.pixels = {1, 2, 3, 4};
    auto up = scaleNearest(img, 4, 3);
    EXPECT_EQ(up->pixels, (std::vector<uint32_t>{1, 1, 2, 2, 1, 1, 2, 2, 3, 3, 4, 4}));
    auto fit = fitToSize(img, 3, 1);
    EXPECT_EQ(fit->pixels, (std::vector<uint32_t>{1, 2, 0}));
}

TEST(ImageOps, CreationRefusesMoreThanOneGibibyte) {
    EXPECT_FALSE(Image::create(65535, 65535));
    EXPECT_FALSE(Image::create(kMaxImagePixels + 1, 1));
    EXPECT_FALSE(Image::create(-1, 5));
    EXPECT_TRUE(imageSizeAllowed(kMaxImagePixels, 1));
    auto empty = Image::create(0, 7);
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->empty());
}

}  // namespace
}  // namespace tavlin
