#include "media/video/frame_scaler.h"

#include <algorithm>
#include <bit>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tavlin {

namespace {

// A cell of more pixels than this could carry a 16-bit channel sum over.
constexpr uint32_t kMostPerCell = 257;

// The steps of scaleAveraged along one axis: the larger side advances by one,
// the smaller by the ratio, both as doubles truncated to whole pixels.
template <class Visit>
void walk(int32_t s, int32_t t, Visit visit) {
    const double sStep = s < t ? double(s) / t : 1.0, tStep = s < t ? 1.0 : double(t) / s;
    for (double sp = 0, tp = 0; sp < s && tp < t; sp += sStep, tp += tStep) visit(int32_t(sp), int32_t(tp));
}

}  // namespace

void FrameScaler::planAxis(int32_t s, int32_t t, Axis& axis) {
    // Targets only ever advance, so each one's sources are one run of steps.
    std::vector<std::vector<int32_t>> byTarget(static_cast<size_t>(t));
    walk(s, t, [&](int32_t source, int32_t target) { byTarget[size_t(target)].push_back(source); });
    axis.sources.clear();
    axis.spans.clear();
    axis.widest = 0;
    for (const auto& list : byTarget) {
        const auto begin = uint32_t(axis.sources.size());
        axis.sources.insert(axis.sources.end(), list.begin(), list.end());
        axis.spans.push_back({begin, uint32_t(axis.sources.size())});
        axis.widest = std::max(axis.widest, uint32_t(list.size()));
    }
}

void FrameScaler::plan(int32_t sw, int32_t sh, int32_t w, int32_t h) {
    sw_ = sw, sh_ = sh, w_ = w, h_ = h;
    consecutive_ = true;
    halved_ = true;
    planAxis(sw, w, columns_);
    planAxis(sh, h, rows_);
    // A cell's columns are consecutive: a reduction steps through every
    // source column, an enlargement takes one per cell.
    firstColumn_.assign(size_t(w), 0);
    columnCount_.assign(size_t(w), 0);
    for (int32_t tx = 0; tx < w; ++tx) {
        const Span span = columns_.spans[size_t(tx)];
        columnCount_[size_t(tx)] = span.end - span.begin;
        if (span.end > span.begin) firstColumn_[size_t(tx)] = columns_.sources[span.begin];
        for (uint32_t k = span.begin; k < span.end; ++k)
            if (columns_.sources[k] != firstColumn_[size_t(tx)] + int32_t(k - span.begin)) consecutive_ = false;
        if (columnCount_[size_t(tx)] != 2 || firstColumn_[size_t(tx)] != 2 * tx) halved_ = false;
    }
    redBlue_.assign(size_t(sw), 0);
    alphaGreen_.assign(size_t(sw), 0);
    if (reciprocal_.empty()) {
        reciprocal_.resize(kMostPerCell + 1, 0);
        for (uint64_t n = 1; n <= kMostPerCell; ++n) reciprocal_[n] = ((uint64_t(1) << 32) + n - 1) / n;
    }
}

uint32_t FrameScaler::cell(const Image& src, int32_t tx, int32_t ty) const {
    const Span rows = rows_.spans[size_t(ty)], cols = columns_.spans[size_t(tx)];
    uint32_t r = 0, g = 0, b = 0, n = 0, last = 0;
    for (uint32_t i = rows.begin; i < rows.end; ++i) {
        const uint32_t* srow = src.row(rows_.sources[i]);
        for (uint32_t j = cols.begin; j < cols.end; ++j) {
            const uint32_t p = srow[columns_.sources[j]];
            if ((p >> 24) == 0) continue;
            r += p >> 16 & 0xFF;
            g += p >> 8 & 0xFF;
            b += p & 0xFF;
            ++n;
            last = p;
        }
    }
    if (n == 0) return 0;
    if (n == 1) return last | 0xFF000000u;
    return 0xFF000000u | (r / n) << 16 | (g / n) << 8 | (b / n);
}

void FrameScaler::sumRow(const uint32_t* row, int32_t width, bool first) {
    uint32_t* __restrict rb = redBlue_.data();
    uint32_t* __restrict ag = alphaGreen_.data();
    int32_t x = 0;
#if defined(__SSE2__)
    const __m128i mask = _mm_set1_epi32(0x00FF00FF);
    for (; x + 4 <= width; x += 4) {
        const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + x));
        __m128i redBlue = _mm_and_si128(p, mask), alphaGreen = _mm_and_si128(_mm_srli_epi32(p, 8), mask);
        auto* rbAt = reinterpret_cast<__m128i*>(rb + x);
        auto* agAt = reinterpret_cast<__m128i*>(ag + x);
        if (!first) {
            redBlue = _mm_add_epi32(redBlue, _mm_loadu_si128(rbAt));
            alphaGreen = _mm_add_epi32(alphaGreen, _mm_loadu_si128(agAt));
        }
        _mm_storeu_si128(rbAt, redBlue);
        _mm_storeu_si128(agAt, alphaGreen);
    }
#endif
    for (; x < width; ++x) {
        const uint32_t redBlue = row[x] & 0x00FF00FFu, alphaGreen = row[x] >> 8 & 0x00FF00FFu;
        rb[x] = first ? redBlue : rb[x] + redBlue;
        ag[x] = first ? alphaGreen : ag[x] + alphaGreen;
    }
}

bool FrameScaler::scale(const Image& src, Image& out) {
    const int32_t w = out.width, h = out.height;
    if (w <= 0 || h <= 0 || src.width <= 0 || src.height <= 0) return false;
    if (src.width == w && src.height == h) {
        out.pixels = src.pixels;
        out.transparent = src.transparent;
        return true;
    }
    if (src.width != sw_ || src.height != sh_ || w != w_ || h != h_) plan(src.width, src.height, w, h);
    if (uint64_t(columns_.widest) * rows_.widest > kMostPerCell || !consecutive_) return false;

    const int32_t sw = src.width;
    const uint32_t* __restrict rb = redBlue_.data();
    const uint32_t* __restrict ag = alphaGreen_.data();
    const int32_t* __restrict firsts = firstColumn_.data();
    const uint32_t* __restrict counts = columnCount_.data();
    const uint64_t* __restrict reciprocal = reciprocal_.data();
    for (int32_t ty = 0; ty < h; ++ty) {
        const Span rows = rows_.spans[size_t(ty)];
        const uint32_t nr = rows.end - rows.begin;
        // Column sums over the cell rows first, then across each cell's columns.
        for (uint32_t i = rows.begin; i < rows.end; ++i) sumRow(src.row(rows_.sources[i]), sw, i == rows.begin);
        uint32_t* __restrict orow = out.row(ty);
        int32_t tx = 0;
#if defined(__SSE2__)
        // Halving across, with a power-of-two cell: four cells at a time, the
        // division a shift. A shifted red sum spills its low bits into the
        // unused top of the blue half, which the mask clears.
        const uint32_t halvedCell = 2 * nr;
        if (halved_ && (halvedCell & (halvedCell - 1)) == 0) {
            const int shift = std::countr_zero(halvedCell);
            const __m128i opaque = _mm_set1_epi32(int32_t(255 * halvedCell));
            const __m128i low = _mm_set1_epi32(0x00FF00FF), byte = _mm_set1_epi32(0xFF);
            const __m128i alpha = _mm_set1_epi32(int32_t(0xFF000000u));
            for (; tx + 4 <= w; tx += 4) {
                const auto* r = reinterpret_cast<const __m128i*>(rb + 2 * tx);
                const auto* g = reinterpret_cast<const __m128i*>(ag + 2 * tx);
                const __m128 r0 = _mm_castsi128_ps(_mm_loadu_si128(r)), r1 = _mm_castsi128_ps(_mm_loadu_si128(r + 1));
                const __m128 g0 = _mm_castsi128_ps(_mm_loadu_si128(g)), g1 = _mm_castsi128_ps(_mm_loadu_si128(g + 1));
                const __m128i sumRb = _mm_add_epi32(_mm_castps_si128(_mm_shuffle_ps(r0, r1, _MM_SHUFFLE(2, 0, 2, 0))),
                                                    _mm_castps_si128(_mm_shuffle_ps(r0, r1, _MM_SHUFFLE(3, 1, 3, 1))));
                const __m128i sumAg = _mm_add_epi32(_mm_castps_si128(_mm_shuffle_ps(g0, g1, _MM_SHUFFLE(2, 0, 2, 0))),
                                                    _mm_castps_si128(_mm_shuffle_ps(g0, g1, _MM_SHUFFLE(3, 1, 3, 1))));
                if (_mm_movemask_epi8(_mm_cmpeq_epi32(_mm_srli_epi32(sumAg, 16), opaque)) != 0xFFFF) break;
                const __m128i redBlue = _mm_and_si128(_mm_srli_epi32(sumRb, shift), low);
                const __m128i green = _mm_slli_epi32(_mm_and_si128(_mm_srli_epi32(sumAg, shift), byte), 8);
                _mm_storeu_si128(reinterpret_cast<__m128i*>(orow + tx),
                                 _mm_or_si128(_mm_or_si128(redBlue, green), alpha));
            }
        }
#endif
        for (; tx < w; ++tx) {
            const uint32_t nc = counts[tx], n = nr * nc;
            const int32_t x = firsts[tx];
            uint32_t sumRb, sumAg;
            if (nc == 2) {
                sumRb = rb[x] + rb[x + 1];
                sumAg = ag[x] + ag[x + 1];
            } else {
                sumRb = 0, sumAg = 0;
                for (uint32_t k = 0; k < nc; ++k) {
                    sumRb += rb[x + int32_t(k)];
                    sumAg += ag[x + int32_t(k)];
                }
            }
            // Only a cell of fully opaque pixels sums its alpha to 255 n;
            // any other (or one of no pixels) is worked out the slow way.
            if ((sumAg >> 16) != 255 * n || n == 0) {
                orow[tx] = cell(src, tx, ty);
                continue;
            }
            const uint64_t m = reciprocal[n];
            const uint32_t red = uint32_t((sumRb >> 16) * m >> 32), blue = uint32_t((sumRb & 0xFFFF) * m >> 32);
            const uint32_t green = uint32_t((sumAg & 0xFFFF) * m >> 32);
            orow[tx] = 0xFF000000u | red << 16 | green << 8 | blue;
        }
    }
    out.transparent = src.transparent;
    return true;
}

}  // namespace tavlin
