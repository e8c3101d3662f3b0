#pragma once
// The in-memory picture used everywhere: 0xAARRGGBB pixels, row-major, top row
// first. Alpha 0 is transparent; any other alpha counts as opaque.

#include <cstdint>
#include <memory>
#include <vector>

namespace tavlin {

// No picture may need more than 1 GiB of pixels; readers check a declared size
// against this before allocating anything.
constexpr int64_t kMaxImagePixels = (int64_t(1) << 30) / 4;

bool imageSizeAllowed(int64_t w, int64_t h);

struct Image {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint32_t> pixels;
    bool transparent = false;  // came from a file with transparency

    Image() = default;
    // w x h opaque white; a zero (or negative) side holds no pixels.
    Image(int32_t w, int32_t h);

    // A new picture of w x h, or nothing when the size is not allowed.
    static std::unique_ptr<Image> create(int64_t w, int64_t h);

    bool empty() const { return pixels.empty(); }
    uint32_t* row(int32_t y) { return pixels.data() + size_t(y) * size_t(width); }
    const uint32_t* row(int32_t y) const { return pixels.data() + size_t(y) * size_t(width); }
    uint32_t& at(int32_t x, int32_t y) { return row(y)[x]; }
    uint32_t at(int32_t x, int32_t y) const { return row(y)[x]; }
    bool contains(int32_t x, int32_t y) const { return x >= 0 && y >= 0 && x < width && y < height; }
};

// Picture operations; each returns a new picture. The same size as the source
// gives a copy; a zero w or h gives a 1x1 white picture. The result keeps the
// source's transparency flag.
std::unique_ptr<Image> scaleAveraged(const Image& image, int32_t w, int32_t h);
std::unique_ptr<Image> scaleNearest(const Image& image, int32_t w, int32_t h);
std::unique_ptr<Image> fitToSize(const Image& image, int32_t w, int32_t h);

}  // namespace tavlin
