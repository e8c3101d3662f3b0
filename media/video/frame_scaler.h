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
    // The source indices that fall into one target index, as a range of
    // `sources`, in the order the walk visits them.
    struct Span {
        uint32_t begin, end;
    };
    struct Axis {
        std::vector<int32_t> sources;
        std::vector<Span> spans;  // one per target index
        uint32_t widest = 0;
    };
    void plan(int32_t sw, int32_t sh, int32_t w, int32_t h);
    static void planAxis(int32_t s, int32_t t, Axis& axis);
    // One target pixel from the source pixels of its cell, transparent
    // pixels left out: the general rule, for cells that are not all opaque.
    uint32_t cell(const Image& src, int32_t tx, int32_t ty) const;
    // Adds one source row into the column sums (`first`: starts them).
    void sumRow(const uint32_t* row, int32_t width, bool first);

    int32_t sw_ = -1, sh_ = -1, w_ = -1, h_ = -1;
    bool consecutive_ = true;
    bool halved_ = false;  // every target column is two source columns, in order
    Axis columns_, rows_;
    // Column sums of the rows of one target row, two channels per word:
    // red and blue, alpha and green, 16 bits each.
    std::vector<uint32_t> redBlue_, alphaGreen_;
    std::vector<int32_t> firstColumn_;   // per target column
    std::vector<uint32_t> columnCount_;  // per target column
    std::vector<uint64_t> reciprocal_;  // 2^32 / n rounded up, for exact division of sums below 2^16
};

}  // namespace tavlin
