#include "media/image.h"

namespace tavlin {

bool imageSizeAllowed(int64_t w, int64_t h) {
    if (w < 0 || h < 0) return false;
    if (w == 0 || h == 0) return true;
    return w <= kMaxImagePixels / h;
}

Image::Image(int32_t w, int32_t h) {
    if (w > 0 && h > 0 && imageSizeAllowed(w, h)) {
        width = w;
        height = h;
        pixels.assign(size_t(w) * size_t(h), 0xFFFFFFFFu);
    }
}

std::unique_ptr<Image> Image::create(int64_t w, int64_t h) {
    if (!imageSizeAllowed(w, h) || w > INT32_MAX || h > INT32_MAX) return nullptr;
    auto img = std::make_unique<Image>();
    if (w > 0 && h > 0) {
        img->width = int32_t(w);
        img->height = int32_t(h);
        img->pixels.assign(size_t(w) * size_t(h), 0xFFFFFFFFu);
    }
    return img;
}

}  // namespace tavlin

namespace tavlin {

namespace {

// Same size: a copy. A zero side: 1x1 white. Otherwise nothing (do the work).
std::unique_ptr<Image> trivialScale(const Image& src, int32_t w, int32_t h) {
    if (w <= 0 || h <= 0) {
        auto one = std::make_unique<Image>(1, 1);
        one->transparent = src.transparent;
        return one;
    }
    if (w == src.width && h == src.height) return std::make_unique<Image>(src);
    return nullptr;
}

}  // namespace

std::unique_ptr<Image> scaleAveraged(const Image& src, int32_t w, int32_t h) {
    if (auto t = trivialScale(src, w, h)) return t;
    auto out = Image::create(w, h);
    if (!out) return nullptr;
    out->transparent = src.transparent;
    const int32_t sw = src.width, sh = src.height;
    if (sw <= 0 || sh <= 0) return out;

    struct Cell { uint64_t r = 0, g = 0, b = 0; uint32_t n = 0; uint32_t last = 0; };
    std::vector<Cell> cells(size_t(w) * size_t(h));

    // Walk the larger of source and target; the smaller one advances by the ratio.
    const double sxStep = sw < w ? double(sw) / w : 1.0, txStep = sw < w ? 1.0 : double(w) / sw;
    const double syStep = sh < h ? double(sh) / h : 1.0, tyStep = sh < h ? 1.0 : double(h) / sh;
    for (double sy = 0, ty = 0; sy < sh && ty < h; sy += syStep, ty += tyStep) {
        const uint32_t* srow = src.row(int32_t(sy));
        Cell* crow = cells.data() + size_t(int32_t(ty)) * size_t(w);
        for (double sx = 0, tx = 0; sx < sw && tx < w; sx += sxStep, tx += txStep) {
            uint32_t p = srow[int32_t(sx)];
            if ((p >> 24) == 0) continue;
            Cell& c = crow[int32_t(tx)];
            c.r += p >> 16 & 0xFF;
            c.g += p >> 8 & 0xFF;
            c.b += p & 0xFF;
            c.n++;
            c.last = p;
        }
    }
    for (size_t i = 0; i < cells.size(); ++i) {
        const Cell& c = cells[i];
        if (c.n == 0) out->pixels[i] = 0;
        else if (c.n == 1) out->pixels[i] = c.last | 0xFF000000u;
        else out->pixels[i] = 0xFF000000u | uint32_t(c.r / c.n) << 16 | uint32_t(c.g / c.n) << 8 | uint32_t(c.b / c.n);
    }
    return out;
}

std::unique_ptr<Image> scaleNearest(const Image& src, int32_t w, int32_t h) {
    if (auto t = trivialScale(src, w, h)) return t;
    auto out = Image::create(w, h);
    if (!out) return nullptr;
    out->transparent = src.transparent;
    if (src.empty()) return out;
    for (int32_t y = 0; y < h; ++y) {
        const uint32_t* srow = src.row(int32_t(int64_t(y) * src.height / h));
        uint32_t* drow = out->row(y);
        for (int32_t x = 0; x < w; ++x) drow[x] = srow[int64_t(x) * src.width / w];
    }
    return out;
}

std::unique_ptr<Image> fitToSize(const Image& src, int32_t w, int32_t h) {
    if (auto t = trivialScale(src, w, h)) return t;
    auto out = Image::create(w, h);
    if (!out) return nullptr;
    out->transparent = src.transparent;
    for (int32_t y = 0; y < h; ++y) {
        uint32_t* drow = out->row(y);
        for (int32_t x = 0; x < w; ++x) drow[x] = src.contains(x, y) ? src.at(x, y) : 0u;
    }
    return out;
}

}  // namespace tavlin
