#include "canvas/canvas.h"

#include <gtest/gtest.h>

namespace tavlin {
namespace {

TEST(Canvas, StartsWhiteAndFillsClipped) {
    Canvas c(4, 3);
    EXPECT_EQ(c.image().at(3, 2), 0xFFFFFFFFu);
    c.FillRect(-2, 1, 4, 10, 0x123456);
    EXPECT_EQ(c.image().at(0, 1), 0xFF123456u);
    EXPECT_EQ(c.image().at(1, 2), 0xFF123456u);
    EXPECT_EQ(c.image().at(2, 1), 0xFFFFFFFFu);
    EXPECT_EQ(c.image().at(0, 0), 0xFFFFFFFFu);
}

TEST(Canvas, DrawImageSkipsOnlyTransparentPixels) {
    Canvas c(2, 1);
    Image img(2, 1);
    img.transparent = true;
    img.pixels = {0x00FF0000u, 0x0100FF00u};  // fully clear, then barely-there alpha
    c.DrawImage(0, 0, 2, 1, img);
    EXPECT_EQ(c.image().at(0, 0), 0xFFFFFFFFu);
    EXPECT_EQ(c.image().at(1, 0), 0xFF00FF00u);  // any non-zero alpha is opaque
}

TEST(Canvas, ResizeKeepsOldContentTopLeftAndNewAreaWhite) {
    Canvas c(2, 2);
    c.FillRect(0, 0, 2, 2, 0x000000);
    c.Resize(3, 4);
    EXPECT_EQ(c.image().at(1, 1), 0xFF000000u);
    EXPECT_EQ(c.image().at(2, 0), 0xFFFFFFFFu);
    EXPECT_EQ(c.image().at(0, 3), 0xFFFFFFFFu);
}

TEST(Canvas, LinesAndTextLandInsideTheSurface) {
    Canvas c(20, 20);
    c.Line(0, 0, 19, 19, 0xFF0000);
    EXPECT_EQ(c.image().at(10, 10), 0xFFFF0000u);
    c.FillEllipse(0, 0, 20, 20, 0x0000FF);
    EXPECT_EQ(c.image().at(10, 10), 0xFF0000FFu);
    Canvas t(200, 40);
    t.DrawText(0, 0, 200, 40, "Hello", 0x000000);
    Point size = t.MeasureText("Hello");
    EXPECT_GT(size.x, 10);
    EXPECT_GT(size.y, 5);
    bool inked = false;
    for (uint32_t p : t.image().pixels) inked |= p != 0xFFFFFFFFu;
    EXPECT_TRUE(inked);
}

TEST(Canvas, StretchDropsAndRepeatsPixels) {
    Canvas src(2, 1);
    src.image().pixels = {0xFF000001u, 0xFF000002u};
    Canvas dst(4, 1);
    dst.StretchCanvas(0, 0, 4, 1, src, 0, 0, 2, 1);
    EXPECT_EQ(dst.image().pixels, (std::vector<uint32_t>{0xFF000001u, 0xFF000001u, 0xFF000002u, 0xFF000002u}));
}

}  // namespace
}  // namespace tavlin
