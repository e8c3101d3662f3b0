#include "ui/cursors.h"

#include <QCursor>
#include <QImage>
#include <QPixmap>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <vector>

namespace tavlin {

namespace {

// A 16 x 16 drawing grid: 0 nothing, 1 black, 2 white. Shapes are drawn in
// black and then get a white outline so that they show on any background.
struct Grid {
    uint8_t px[16][16] = {};
    int32_t hotX = 0, hotY = 0;

    void set(int32_t x, int32_t y, uint8_t v = 1) {
        if (x >= 0 && y >= 0 && x < 16 && y < 16) px[y][x] = v;
    }
    void line(int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
        int32_t dx = std::abs(x1 - x0), sx = x0 < x1 ? 1 : -1;
        int32_t dy = -std::abs(y1 - y0), sy = y0 < y1 ? 1 : -1;
        int32_t err = dx + dy;
        for (;;) {
            set(x0, y0);
            if (x0 == x1 && y0 == y1) break;
            int32_t e2 = 2 * err;
            if (e2 >= dy) err += dy, x0 += sx;
            if (e2 <= dx) err += dx, y0 += sy;
        }
    }
    void rect(int32_t x, int32_t y, int32_t w, int32_t h) {
        line(x, y, x + w - 1, y);
        line(x, y + h - 1, x + w - 1, y + h - 1);
        line(x, y, x, y + h - 1);
        line(x + w - 1, y, x + w - 1, y + h - 1);
    }
    void fill(int32_t x, int32_t y, int32_t w, int32_t h, uint8_t v = 1) {
        for (int32_t yy = y; yy < y + h; ++yy)
            for (int32_t xx = x; xx < x + w; ++xx) set(xx, yy, v);
    }
    void circle(int32_t cx, int32_t cy, int32_t r) {
        for (int32_t a = 0; a < 64; ++a) {
            double t = a * 3.14159265358979 * 2 / 64;
            set(cx + int32_t(std::lround(r * std::cos(t))), cy + int32_t(std::lround(r * std::sin(t))));
        }
    }
    // Arrow heads pointing left, right, up or down with the tip at (x, y).
    void headLeft(int32_t x, int32_t y) {
        for (int32_t i = 0; i < 4; ++i) line(x + i, y - i, x + i, y + i);
    }
    void headRight(int32_t x, int32_t y) {
        for (int32_t i = 0; i < 4; ++i) line(x - i, y - i, x - i, y + i);
    }
    void headUp(int32_t x, int32_t y) {
        for (int32_t i = 0; i < 4; ++i) line(x - i, y + i, x + i, y + i);
    }
    void headDown(int32_t x, int32_t y) {
        for (int32_t i = 0; i < 4; ++i) line(x - i, y - i, x + i, y - i);
    }
    void art(const char* const rows[16]) {
        for (int32_t y = 0; y < 16; ++y)
            for (int32_t x = 0; x < 16 && rows[y][x]; ++x) px[y][x] = rows[y][x] == '#' ? 1 : rows[y][x] == '.' ? 2 : 0;
    }
    void outline() {
        uint8_t copy[16][16];
        std::copy(&px[0][0], &px[0][0] + 256, &copy[0][0]);
        for (int32_t y = 0; y < 16; ++y)
            for (int32_t x = 0; x < 16; ++x) {
                if (copy[y][x]) continue;
                for (int32_t dy = -1; dy <= 1; ++dy)
                    for (int32_t dx = -1; dx <= 1; ++dx) {
                        int32_t nx = x + dx, ny = y + dy;
                        if (nx >= 0 && ny >= 0 && nx < 16 && ny < 16 && copy[ny][nx] == 1) px[y][x] = 2;
                    }
            }
    }
    CursorShape shape() const {
        CursorShape s{};
        for (int32_t y = 0; y < 16; ++y)
            for (int32_t x = 0; x < 16; ++x) {
                int32_t byte = y * 2 + x / 8;
                uint8_t bit = uint8_t(0x80 >> (x % 8));
                if (px[y][x] == 0) s.andMask[byte] |= bit;
                if (px[y][x] == 2) s.xorMask[byte] |= bit;
            }
        s.hotX = hotX;
        s.hotY = hotY;
        return s;
    }
};

const char* const kArrow[16] = {
    "#               ", "##              ", "#.#             ", "#..#            ",
    "#...#           ", "#....#          ", "#.....#         ", "#......#        ",
    "#.......#       ", "#....#####      ", "#..#..#         ", "#.# #..#        ",
    "##  #..#        ", "#    #..#       ", "     #..#       ", "      ##        ",
};

Grid arrow() {
    Grid g;
    g.art(kArrow);
    return g;
}

Grid centred(void (*draw)(Grid&)) {
    Grid g;
    draw(g);
    g.outline();
    g.hotX = 7;
    g.hotY = 7;
    return g;
}

std::array<CursorShape, kBuiltInCursorCount> makeShapes() {
    std::array<Grid, kBuiltInCursorCount> g;
    // 0 crosshair
    g[0] = centred([](Grid& c) {
        c.line(7, 0, 7, 5), c.line(7, 9, 7, 14), c.line(0, 7, 5, 7), c.line(9, 7, 14, 7);
    });
    // 1 text beam
    g[1] = centred([](Grid& c) { c.line(7, 1, 7, 13), c.line(5, 1, 9, 1), c.line(5, 13, 9, 13); });
    // 2 move: four arrows
    g[2] = centred([](Grid& c) {
        c.line(7, 1, 7, 13), c.line(1, 7, 13, 7);
        c.headUp(7, 0), c.headDown(7, 14), c.headLeft(0, 7), c.headRight(14, 7);
    });
    // 3 size up/down
    g[3] = centred([](Grid& c) { c.line(7, 1, 7, 13), c.headUp(7, 0), c.headDown(7, 14); });
    // 4 wait: hourglass
    g[4] = centred([](Grid& c) {
        c.line(3, 1, 11, 1), c.line(3, 13, 11, 13);
        c.line(4, 2, 7, 6), c.line(10, 2, 7, 6), c.line(7, 8, 4, 12), c.line(7, 8, 10, 12);
        c.line(7, 6, 7, 8);
        c.fill(5, 11, 5, 2), c.fill(6, 10, 3, 1), c.fill(5, 2, 5, 1);
    });
    // 5 size left/right
    g[5] = centred([](Grid& c) { c.line(1, 7, 13, 7), c.headLeft(0, 7), c.headRight(14, 7); });
    // 6 size diagonal (top-left to bottom-right)
    g[6] = centred([](Grid& c) {
        c.line(2, 2, 12, 12), c.line(1, 1, 5, 1), c.line(1, 1, 1, 5), c.line(13, 13, 9, 13), c.line(13, 13, 13, 9);
    });
    // 7 size diagonal (top-right to bottom-left)
    g[7] = centred([](Grid& c) {
        c.line(12, 2, 2, 12), c.line(13, 1, 9, 1), c.line(13, 1, 13, 5), c.line(1, 13, 5, 13), c.line(1, 13, 1, 9);
    });
    // 8 the normal arrow
    g[8] = arrow();
    // 9 pen, tip at the bottom left
    g[9] = centred([](Grid& c) {
        c.line(1, 14, 12, 3), c.line(3, 14, 14, 3), c.line(12, 1, 14, 3), c.line(12, 1, 1, 12), c.line(1, 12, 1, 14),
            c.line(11, 2, 13, 4);
    });
    g[9].hotX = 1;
    g[9].hotY = 14;
    // 10 not allowed
    g[10] = centred([](Grid& c) { c.circle(7, 7, 6), c.circle(7, 7, 5), c.line(3, 3, 11, 11), c.line(4, 3, 11, 10); });
    // 11 magnifier
    g[11] = centred([](Grid& c) { c.circle(6, 6, 4), c.line(9, 9, 14, 14), c.line(10, 9, 14, 13); });
    g[11].hotX = 6;
    g[11].hotY = 6;
    // 12 horizontal slider: left and right arrows around a bar
    g[12] = centred([](Grid& c) {
        c.line(7, 2, 7, 12), c.line(8, 2, 8, 12), c.line(1, 7, 5, 7), c.line(10, 7, 14, 7);
        c.headLeft(0, 7), c.headRight(15, 7);
    });
    // 13 vertical slider: up and down arrows around a bar
    g[13] = centred([](Grid& c) {
        c.line(2, 7, 12, 7), c.line(2, 8, 12, 8), c.line(7, 1, 7, 5), c.line(7, 10, 7, 14);
        c.headUp(7, 0), c.headDown(7, 15);
    });
    // 14 arrow with a plus
    g[14] = arrow();
    g[14].fill(10, 12, 5, 1), g[14].fill(12, 10, 1, 5);
    // 15 arrow with a minus
    g[15] = arrow();
    g[15].fill(10, 12, 5, 1);
    // 16 crosshair with a plus (add a point)
    g[16] = centred([](Grid& c) {
        c.line(5, 0, 5, 3), c.line(5, 7, 5, 10), c.line(0, 5, 3, 5), c.line(7, 5, 10, 5);
        c.fill(10, 12, 5, 1), c.fill(12, 10, 1, 5);
    });
    g[16].hotX = g[16].hotY = 5;
    // 17 crosshair with a minus (remove a point)
    g[17] = centred([](Grid& c) {
        c.line(5, 0, 5, 3), c.line(5, 7, 5, 10), c.line(0, 5, 3, 5), c.line(7, 5, 10, 5);
        c.fill(10, 12, 5, 1);
    });
    g[17].hotX = g[17].hotY = 5;
    // 18 frame selection
    g[18] = centred([](Grid& c) {
        for (int32_t i = 0; i < 15; i += 2) c.set(i, 0), c.set(i, 14), c.set(0, i), c.set(14, i);
        c.line(5, 7, 9, 7), c.line(7, 5, 7, 9);
    });
    // 19 target
    g[19] = centred([](Grid& c) { c.circle(7, 7, 5), c.line(7, 0, 7, 14), c.line(0, 7, 14, 7); });
    // 20 arrow with a question mark
    g[20] = arrow();
    g[20].line(10, 9, 12, 9), g[20].set(13, 10), g[20].set(12, 11), g[20].set(11, 12), g[20].set(11, 14);
    std::array<CursorShape, kBuiltInCursorCount> shapes;
    for (int32_t i = 0; i < kBuiltInCursorCount; ++i) shapes[size_t(i)] = g[size_t(i)].shape();
    return shapes;
}

const std::array<CursorShape, kBuiltInCursorCount>& shapes() {
    static const std::array<CursorShape, kBuiltInCursorCount> s = makeShapes();
    return s;
}

// Cursors are 32 x 32 with the shape in the top-left corner.
constexpr int32_t kCursorSize = 32;

QCursor cursorFromShape(const CursorShape& s) {
    QImage img(kCursorSize, kCursorSize, QImage::Format_ARGB32);
    img.fill(0);
    for (int32_t y = 0; y < 16; ++y)
        for (int32_t x = 0; x < 16; ++x) {
            int32_t p = CursorShapePixel(s, x, y);
            // Inverting pixels have no portable form; black stands in.
            if (p == 1 || p == 3) img.setPixel(x, y, 0xFF000000u);
            if (p == 2) img.setPixel(x, y, 0xFFFFFFFFu);
        }
    return QCursor(QPixmap::fromImage(img), s.hotX, s.hotY);
}

std::vector<std::unique_ptr<QCursor>>& table() {
    static std::vector<std::unique_ptr<QCursor>> t;
    if (t.empty())
        for (const CursorShape& s : shapes()) t.push_back(std::make_unique<QCursor>(cursorFromShape(s)));
    return t;
}

}  // namespace

int32_t CursorShapePixel(const CursorShape& shape, int32_t x, int32_t y) {
    if (x < 0 || y < 0 || x >= 16 || y >= 16) return 0;
    int32_t byte = y * 2 + x / 8;
    uint8_t bit = uint8_t(0x80 >> (x % 8));
    bool a = shape.andMask[byte] & bit, xr = shape.xorMask[byte] & bit;
    if (a) return xr ? 3 : 0;
    return xr ? 2 : 1;
}

const CursorShape& BuiltInCursorShape(int32_t id) {
    if (id < 0 || id >= kBuiltInCursorCount) id = kCursorArrow;
    return shapes()[size_t(id)];
}

const QCursor* CursorById(int32_t id) {
    auto& t = table();
    if (id < 0 || size_t(id) >= t.size()) return nullptr;
    return t[size_t(id)].get();
}

int32_t CursorCount() { return int32_t(table().size()); }

int32_t CursorFromImage(const Image& image, int32_t hotX, int32_t hotY) {
    int32_t w = std::max(image.width, 1), h = std::max(image.height, 1);
    QImage img(w, h, QImage::Format_ARGB32);
    img.fill(0);
    for (int32_t y = 0; y < image.height; ++y)
        for (int32_t x = 0; x < image.width; ++x) {
            uint32_t p = image.at(x, y);
            if ((p >> 24) == 0) continue;
            img.setPixel(x, y, (p & 0xFFFFFF) == 0 ? 0xFF000000u : 0xFFFFFFFFu);
        }
    auto& t = table();
    t.push_back(std::make_unique<QCursor>(QPixmap::fromImage(img), hotX, hotY));
    return int32_t(t.size()) - 1;
}

}  // namespace tavlin
