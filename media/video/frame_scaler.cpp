#include "media/video/frame_scaler.h"

#include <cstring>

namespace tavlin {

namespace {

// The steps of scaleAveraged along one axis: the larger side advances by one,
// the smaller by the ratio, both as doubles truncated to whole pixels.
void walk(int32_t s, int32_t t, std::vector<int32_t>& sources, std::vector<int32_t>& targets) {
    const double sStep = s < t ? double(s) / t : 1.0, tStep = s < t ? 1.0 : double(t) / s;
    for (double sp = 0, tp = 0; sp < s && tp < t; sp += sStep, tp += tStep) {
        sources.push_back(int32_t(sp));
        targets.push_back(int32_t(tp));
    }
}

}  // namespace

void FrameScaler::plan(int32_t sw, int32_t sh, int32_t w, int32_t h) {
    sw_ = sw, sh_ = sh, w_ = w, h_ = h;
    std::vector<int32_t> s, t;
    walk(sw, w, s, t);
    columns_.clear();
    for (size_t i = 0; i < s.size(); ++i) columns_.push_back({s[i], t[i]});
    s.clear(), t.clear();
    walk(sh, h, s, t);
    rows_.clear();
    for (size_t i = 0; i < s.size(); ++i) rows_.push_back({s[i], t[i]});
    sums_.assign(size_t(w) * size_t(h) * 5, 0);
}

bool FrameScaler::scale(const Image& src, Image& out) {
    const int32_t w = out.width, h = out.height;
    if (w <= 0 || h <= 0 || src.width <= 0 || src.height <= 0) return false;
    // A target pixel gathers at most ceil(sw/w) * ceil(sh/h) source pixels.
    const uint64_t most = uint64_t(src.width / w + 1) * uint64_t(src.height / h + 1) * 255;
    if (most >= (uint64_t(1) << 32)) return false;
    if (src.width == w && src.height == h) {
        out.pixels = src.pixels;
        return true;
    }
    if (src.width != sw_ || src.height != sh_ || w != w_ || h != h_) plan(src.width, src.height, w, h);
    std::memset(sums_.data(), 0, sums_.size() * sizeof(uint32_t));
    for (const Step& row : rows_) {
        const uint32_t* srow = src.row(row.source);
        uint32_t* cells = sums_.data() + size_t(row.target) * size_t(w) * 5;
        for (const Step& col : columns_) {
            const uint32_t p = srow[col.source];
            if ((p >> 24) == 0) continue;
            uint32_t* c = cells + size_t(col.target) * 5;
            c[0] += p >> 16 & 0xFF;
            c[1] += p >> 8 & 0xFF;
            c[2] += p & 0xFF;
            c[3] += 1;
            c[4] = p;
        }
    }
    const uint32_t* c = sums_.data();
    for (uint32_t& p : out.pixels) {
        const uint32_t n = c[3];
        if (n == 0) p = 0;
        else if (n == 1) p = c[4] | 0xFF000000u;
        else p = 0xFF000000u | (c[0] / n) << 16 | (c[1] / n) << 8 | (c[2] / n);
        c += 5;
    }
    out.transparent = src.transparent;
    return true;
}

}  // namespace tavlin
