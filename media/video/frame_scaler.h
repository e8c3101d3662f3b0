#pragma once
// The averaging reduction of video frames, done the way scaleAveraged does
// it (same source pixels into the same target cells, same rounding) but with
// the pixel walk worked out once per size and integer sums in buffers kept
// from frame to frame.

#include <cstdint>
#include <vector>

#include "media/image.h"

namespace tavlin {

class FrameScaler {
public:
    // Scales `src` into `out`, which must be w x h already. False when the
    // sums could overflow (then scaleAveraged is the way).
    bool scale(const Image& src, Image& out);

private:
    struct Step {
        int32_t source, target;
    };
    void plan(int32_t sw, int32_t sh, int32_t w, int32_t h);
    int32_t sw_ = -1, sh_ = -1, w_ = -1, h_ = -1;
    std::vector<Step> columns_, rows_;
    std::vector<uint32_t> sums_;  // r, g, b, count, last per target pixel
};

}  // namespace tavlin
