#include <climits>
#include <cstdint>
#include <memory>

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QWidget>

#include "canvas/canvas.h"
#include "ui/control.h"
#include "ui/window.h"

namespace tavlin {
namespace {

uint32_t rgb(const Image& image, int32_t x, int32_t y) { return image.at(x, y) & 0xFFFFFF; }

// Draws the same scene with the unit primitives; nothing here may depend on
// the scale.
void drawScene(Canvas& c) {
    c.FillRect(0, 0, c.width(), c.height(), 0x808080);
    c.FillRect(3, 4, 10, 6, 0xFF0000);
    c.FrameRect(20, 2, 9, 7, 0x0000FF);
    c.FillRect(-5, 30, 12, 3, 0x00FF00);             // partly off the left edge
    c.FillRect(35, 35, 1000, 1000, 0x123456);        // off the bottom right
    c.FillRect(INT32_MAX - 2, 0, 10, 10, 0xFF00FF);  // far outside: nothing
    c.FillRect(INT32_MIN + 1, 0, 10, 10, 0xFF00FF);
}

TEST(HighDensityWindow, BackBufferHasTwoPixelsPerUnitAndShowsThemUnscaled) {
    Window window(nullptr, 0, 0, 120, 90, kMainWindow);
    ASSERT_DOUBLE_EQ(window.client()->devicePixelRatioF(), 2.0);
    Canvas* back = window.canvas();
    ASSERT_EQ(back->scale(), 2);
    EXPECT_EQ(back->width(), 120);
    EXPECT_EQ(back->height(), 90);
    EXPECT_EQ(back->image().width, 240);
    EXPECT_EQ(back->image().height, 180);

    // Text is drawn at the device's resolution: a glyph's edges fall on odd
    // pixels too, which a picture enlarged from units never has.
    back->FillRect(0, 0, 120, 90, 0xFFFFFF);
    back->DrawText(2, 2, 116, 40, "Wg", 0x000000);
    back->FillRect(60, 50, 1, 1, 0xFF0000);
    bool oddEdge = false;
    for (int32_t y = 0; y < 80 && !oddEdge; ++y)
        for (int32_t x = 1; x < 230 && !oddEdge; x += 2)
            oddEdge = rgb(back->image(), x, y) != rgb(back->image(), x - 1, y);
    EXPECT_TRUE(oddEdge);

    // The client shows the back buffer pixel for pixel.
    window.Show(true);
    QImage shown = window.client()->grab().toImage().convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(shown.width(), 240);
    ASSERT_EQ(shown.height(), 180);
    int32_t differ = 0;
    for (int32_t y = 0; y < 180; ++y)
        for (int32_t x = 0; x < 240; ++x) differ += (shown.pixel(x, y) & 0xFFFFFF) != rgb(back->image(), x, y);
    EXPECT_EQ(differ, 0);
    EXPECT_EQ(rgb(back->image(), 120, 100), 0xFF0000u);
    EXPECT_EQ(rgb(back->image(), 121, 101), 0xFF0000u);
    EXPECT_EQ(rgb(back->image(), 122, 100), 0xFFFFFFu);

    // Growing keeps the density and what was drawn.
    window.ResizeClient(200, 150);
    EXPECT_EQ(window.canvas()->scale(), 2);
    EXPECT_GE(window.canvas()->image().width, 400);
    EXPECT_EQ(rgb(window.canvas()->image(), 121, 101), 0xFF0000u);
    window.Destroy();
}

TEST(HighDensityCanvas, UnitPrimitivesMatchTheOneToOneDrawingEnlarged) {
    // Cross-check: every axis-aligned primitive at scale 2 must equal the
    // scale 1 drawing with each pixel doubled.
    Canvas one(60, 50), two(60, 50, 2);
    drawScene(one);
    drawScene(two);
    Canvas srcOne(16, 12), srcTwo(16, 12, 2);
    for (Canvas* c : {&srcOne, &srcTwo}) {
        c->FillRect(0, 0, 16, 12, 0x00FFFF);
        c->FillRect(4, 3, 5, 4, 0x000080);
    }
    one.CopyCanvas(40, 10, srcOne, 2, 1, 14, 11);
    two.CopyCanvas(40, 10, srcTwo, 2, 1, 14, 11);
    // Whole ratios only: nearest-pixel sampling of other ratios rounds
    // differently at each density.
    one.StretchCanvas(0, 26, 32, 24, srcOne, 0, 0, 16, 12);
    two.StretchCanvas(0, 26, 32, 24, srcTwo, 0, 0, 16, 12);
    Image picture(4, 3);
    for (int32_t i = 0; i < 12; ++i) picture.pixels[size_t(i)] = 0xFF000000u | uint32_t(i * 0x101010);
    one.DrawImage(50, 40, 4, 3, picture);
    two.DrawImage(50, 40, 4, 3, picture);
    two.DrawImage(-3, -3, 1 << 20, 1 << 20, picture);  // too large: nothing, no crash
    int32_t differ = 0;
    for (int32_t y = 0; y < 100; ++y)
        for (int32_t x = 0; x < 120; ++x) {
            bool same = rgb(two.image(), x, y) == rgb(one.image(), x / 2, y / 2);
            if (!same && differ++ == 0)
                ADD_FAILURE() << "first difference at pixel " << x << ", " << y << std::hex << " "
                              << rgb(two.image(), x, y) << " " << rgb(one.image(), x / 2, y / 2);
        }
    EXPECT_EQ(differ, 0);

    // A picture made at twice the size is drawn unscaled.
    Image fine(8, 6);
    for (int32_t i = 0; i < 48; ++i) fine.pixels[size_t(i)] = 0xFF000000u | (i % 2 ? 0xFFFFFFu : 0u);
    two.DrawImage(1, 1, 4, 3, fine);
    for (int32_t x = 0; x < 8; ++x) EXPECT_EQ(rgb(two.image(), 2 + x, 2), x % 2 ? 0xFFFFFFu : 0u) << x;
}

TEST(HighDensityCanvas, StageOfOnePixelPerUnitIsEnlargedSmoothly) {
    Canvas stage(2, 1), back(4, 2, 2);
    stage.FillRect(0, 0, 1, 1, 0x000000);
    stage.FillRect(1, 0, 1, 1, 0xFFFFFF);
    back.StretchCanvas(0, 0, 4, 2, stage, 0, 0, 2, 1);
    // Black at the left, white at the right, greys between rather than a
    // hard step in the middle.
    const Image& px = back.image();
    EXPECT_EQ(rgb(px, 0, 1), 0x000000u);
    EXPECT_EQ(rgb(px, 7, 1), 0xFFFFFFu);
    int32_t greys = 0;
    for (int32_t x = 0; x < 8; ++x) {
        uint32_t v = rgb(px, x, 1) & 0xFF;
        greys += v > 0 && v < 0xFF;
        if (x > 0) {
            EXPECT_GE(v, rgb(px, x - 1, 1) & 0xFF) << x;
        }
    }
    EXPECT_GE(greys, 2);
    // Copying between densities goes the same way and stays inside.
    back.CopyCanvas(-1, -1, stage, 0, 0, 2, 1);
    back.CopyCanvas(INT32_MAX / 4, 0, stage, 0, 0, 2, 1);
}

TEST(HighDensityControls, PressedPictureButtonShiftsWholePixelsAndKeepsItsBackground) {
    Window window(nullptr, 0, 0, 100, 60, kMainWindow);
    Canvas& back = *window.canvas();
    back.FillRect(0, 0, 100, 60, 0x336699);
    Image normal(20, 10);
    for (uint32_t& p : normal.pixels) p = 0xFFFF8000u;
    normal.pixels[0] = 0xFF000000u;
    ImageButton button(&window, 10, 10, 20, 10, 5);
    button.SetImages(&normal, nullptr, nullptr, nullptr, 0);
    button.Draw();
    EXPECT_EQ(rgb(back.image(), 20, 20), 0x000000u);
    EXPECT_EQ(rgb(back.image(), 21, 21), 0x000000u);
    EXPECT_EQ(rgb(back.image(), 22, 22), 0xFF8000u);
    EXPECT_EQ(rgb(back.image(), 19, 19), 0x336699u);
    // Held down under the pointer: the picture moves by two units over the
    // background the button first stood on.
    window.RouteButton(true, true, 15, 15, 0);
    EXPECT_EQ(window.pressedControl(), &button);
    EXPECT_EQ(rgb(back.image(), 20, 20), 0x336699u);
    EXPECT_EQ(rgb(back.image(), 24, 24), 0x000000u);
    EXPECT_EQ(rgb(back.image(), 25, 25), 0x000000u);
    EXPECT_EQ(rgb(back.image(), 26, 26), 0xFF8000u);
    window.RouteButton(true, false, 15, 15, 0);
    window.Destroy();
}

}  // namespace
}  // namespace tavlin
