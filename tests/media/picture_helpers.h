#pragma once
// Pictures and byte helpers shared by the picture-format tests.

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include <sys/stat.h>

#include "media/image.h"

namespace tavlin::test {

// A picture whose pixels are drawn at random from `colours` distinct opaque
// colours, every colour used at least once (when the picture is big enough).
inline Image paletted(int32_t w, int32_t h, int colours, uint32_t seed = 1) {
    Image img(w, h);
    std::mt19937 rng(seed);
    for (size_t i = 0; i < img.pixels.size(); ++i) {
        uint32_t k = i < size_t(colours) ? uint32_t(i) : rng() % uint32_t(colours);
        img.pixels[i] = 0xFF000000u | (k * 0x9E3779u & 0xFFFFFFu);
    }
    return img;
}

// Smooth gradients with a little noise, as a photograph has: many colours.
inline Image photoLike(int32_t w, int32_t h, uint32_t seed = 7) {
    Image img(w, h);
    std::mt19937 rng(seed);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            int n = int(rng() % 9) - 4;
            auto ch = [&](int v) { return uint32_t(std::min(255, std::max(0, v + n))); };
            img.at(x, y) = 0xFF000000u | ch(x * 255 / w) << 16 | ch(y * 255 / h) << 8 | ch((x + y) * 255 / (w + h));
        }
    return img;
}

// /dev/full accepts an open and fails every write, like a full disk.
inline bool haveFullDevice() {
    struct stat st {};
    return ::stat("/dev/full", &st) == 0 && S_ISCHR(st.st_mode);
}

inline std::string bytesToString(const std::vector<uint8_t>& v) { return std::string(v.begin(), v.end()); }

}  // namespace tavlin::test
