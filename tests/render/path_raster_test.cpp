#include "document/drag_path_geometry.h"

#include <gtest/gtest.h>

#include "render/path_raster.h"

#include <array>
#include <cmath>
#include <random>
#include <vector>

#include "canvas/canvas.h"

namespace tavlin {
namespace {

Path makePath(std::initializer_list<std::array<int32_t, 3>> pts) {
    Path p;
    for (const auto& q : pts) p.addPoint(q[0], q[1], q[2], true);
    p.computeCross();
    return p;
}

constexpr uint32_t kWhite = 0xFFFFFFFFu;

// --- mapping a pointer to a frame -------------------------------------------

TEST(PathRaster, ThickLinesStampDiscsAndMasksAtDoubleResolution) {
    Path p = makePath({{10, 20, 0}, {50, 20, 10}});
    Canvas c(64, 40);
    drawPathLine(c, PolylineShape::instance(), p, 3, 0x0000FF);
    EXPECT_EQ(c.image().at(30, 20), 0xFF0000FFu);
    EXPECT_EQ(c.image().at(30, 22), 0xFF0000FFu);  // within the radius of 3
    EXPECT_EQ(c.image().at(30, 24), kWhite);
    EXPECT_EQ(c.image().at(5, 20), kWhite);
    EXPECT_EQ(c.image().at(55, 20), kWhite);

    Canvas thin(64, 40);
    drawPathLine(thin, PolylineShape::instance(), p, 1, 0xFF0000);
    EXPECT_EQ(thin.image().at(30, 20), 0xFFFF0000u);
    EXPECT_EQ(thin.image().at(30, 21), kWhite);
    Canvas none(64, 40);
    drawPathLine(none, PolylineShape::instance(), p, 0, 0xFF0000);
    EXPECT_EQ(none.image().at(30, 20), kWhite);

    std::vector<uint8_t> mask(128 * 80, 0);
    drawPathMask(mask.data(), 128, 80, PolylineShape::instance(), p, 1);
    auto at = [&](int x, int y) { return mask[size_t(y) * 128 + size_t(x)]; };
    EXPECT_EQ(at(20, 40), 1);
    EXPECT_EQ(at(60, 41), 1);  // width 2 in the mask: a 2 x 2 block
    EXPECT_EQ(at(100, 40), 1);
    EXPECT_EQ(at(60, 42), 0);
    EXPECT_EQ(at(60, 39), 0);
    EXPECT_EQ(at(19, 40), 0);
}

TEST(PathRaster, FarAwayAndHugeValuesDrawOnlyWhatIsVisibleAndFinish) {
    Path p = makePath({{-2000000000, 10, 0}, {2000000000, 10, 10}});
    Canvas c(40, 20);
    drawPathLine(c, PolylineShape::instance(), p, 2, 0x00FF00);
    EXPECT_EQ(c.image().at(0, 10), 0xFF00FF00u);
    EXPECT_EQ(c.image().at(39, 10), 0xFF00FF00u);
    EXPECT_EQ(c.image().at(20, 2), kWhite);
    Canvas thin(40, 20);
    drawPathLine(thin, PolylineShape::instance(), p, 1, 0x00FF00);
    EXPECT_EQ(thin.image().at(20, 10), 0xFF00FF00u);

    std::vector<uint8_t> mask(80 * 40, 0);
    drawPathMask(mask.data(), 80, 40, PolylineShape::instance(), p, 2147483647);
    EXPECT_EQ(mask[0], 1);
    Path off = makePath({{-2000000000, -2000000000, 0}, {-1999999000, 2000000000, 10}});
    Canvas untouched(40, 20);
    drawPathLine(untouched, PolylineShape::instance(), off, 5, 0);
    EXPECT_EQ(untouched.image().at(0, 0), kWhite);
}

// --- clean-up after drawing -------------------------------------------------

}  // namespace
}  // namespace tavlin

namespace tavlin {
namespace {

// Long paths are drawn as the union of their stamps; every pixel must be the
// one that stamping each segment's discs in turn gives, on and off the stage.
TEST(PathRaster, LongPathsPaintExactlyThePixelsOfTheirStamps) {
    std::mt19937 rng(2024);
    for (int round = 0; round < 24; ++round) {
        int32_t cw = 40 + int32_t(rng() % 90), ch = 30 + int32_t(rng() % 70);
        int32_t width = 2 + int32_t(rng() % (round < 20 ? 14 : 60));
        bool bezier = round % 4 == 3;
        Path p;
        int32_t x = int32_t(rng() % uint32_t(cw)), y = int32_t(rng() % uint32_t(ch));
        int32_t count = bezier ? 700 : 300 + int32_t(rng() % 3000);
        int32_t reach = round % 3 == 0 ? 4 * cw : cw / 2;  // some wander far off the stage
        for (int32_t i = 0; i < count; ++i) {
            x = std::clamp(x + int32_t(rng() % 13) - 6, -reach, cw + reach);
            y = std::clamp(y + int32_t(rng() % 13) - 6, -reach, ch + reach);
            p.addPoint(x, y, i, true);
        }
        const PathShape& shape = bezier ? static_cast<const PathShape&>(BezierShape::instance())
                                        : static_cast<const PathShape&>(PolylineShape::instance());
        Canvas drawn(cw, ch), stamped(cw, ch);
        drawn.FillRect(0, 0, cw, ch, 0x102030);
        stamped.FillRect(0, 0, cw, ch, 0x102030);
        drawPathLine(drawn, shape, p, width, 0xC0C0C0);
        shape.strokes(p, 1, [&](int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
            canvasThickLine(stamped, x0, y0, x1, y1, width, 0xC0C0C0);
        });
        for (int32_t r = 0; r < ch; ++r)
            for (int32_t c = 0; c < cw; ++c)
                ASSERT_EQ(drawn.image().row(r)[c], stamped.image().row(r)[c])
                    << "round " << round << " width " << width << " at " << c << "," << r;
    }
}

}  // namespace
}  // namespace tavlin
