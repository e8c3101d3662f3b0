#include "render/path_raster.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "canvas/canvas.h"

namespace tavlin {

namespace {

// Widths come from project files; beyond this a stamp covers any stage many
// times over, and bounding it bounds the work a damaged file can cause.
constexpr int32_t kMaxStampWidth = 8192;

int32_t roundHalfUp(double v) { return truncToInt(v + 0.5); }

// Visits the stamp positions of a line, skipping those that cannot touch the
// area lo..hi (inclusive) so that far-away points cost nothing.
template <class Stamp>
void stampLine(double x0, double y0, double x1, double y1, double lox, double loy, double hix, double hiy,
               Stamp stamp) {
    double ddx = x1 - x0, ddy = y1 - y0;
    double n = std::max(std::fabs(ddx), std::fabs(ddy));
    if (n == 0) return;
    double kmin = 0, kmax = n;
    auto clip = [&](double start, double delta, double lo, double hi) {
        if (delta == 0) {
            if (start < lo - 1 || start > hi + 1) kmax = -1;
            return;
        }
        double a = (lo - 1 - start) * n / delta, b = (hi + 1 - start) * n / delta;
        if (a > b) std::swap(a, b);
        kmin = std::max(kmin, a);
        kmax = std::min(kmax, b);
    };
    clip(x0 + 0.5, ddx, lox, hix);
    clip(y0 + 0.5, ddy, loy, hiy);
    if (kmax < kmin) return;
    int64_t k0 = static_cast<int64_t>(std::max(0.0, std::floor(kmin) - 1));
    int64_t k1 = static_cast<int64_t>(std::min(n, std::ceil(kmax) + 1));
    for (int64_t k = k0; k <= k1; ++k) {
        double kd = static_cast<double>(k);
        stamp(truncToInt(x0 + 0.5 + kd * ddx / n), truncToInt(y0 + 0.5 + kd * ddy / n));
    }
}

void maskStamp(uint8_t* mask, int32_t mw, int32_t mh, int32_t x, int32_t y, int32_t w) {
    if (w <= 1) {
        if (x >= 0 && y >= 0 && x < mw && y < mh) mask[size_t(y) * size_t(mw) + size_t(x)] = 1;
        return;
    }
    if (w == 2) {
        for (int32_t j = 0; j < 2; ++j)
            for (int32_t i = 0; i < 2; ++i) {
                int64_t px = int64_t(x) + i, py = int64_t(y) + j;
                if (px >= 0 && py >= 0 && px < mw && py < mh) mask[size_t(py) * size_t(mw) + size_t(px)] = 1;
            }
        return;
    }
    int64_t r = w - 1;
    int64_t limit = r * r + 1;
    int64_t j0 = std::max<int64_t>(-r, -int64_t(y)), j1 = std::min<int64_t>(r, int64_t(mh) - 1 - y);
    for (int64_t j = j0; j <= j1; ++j) {
        int64_t rest = limit - j * j;
        int64_t half = static_cast<int64_t>(std::sqrt(static_cast<double>(rest)));
        while (half * half > rest) --half;
        while ((half + 1) * (half + 1) <= rest) ++half;
        half = std::min(half, r);
        int64_t i0 = std::max<int64_t>(int64_t(x) - half, 0), i1 = std::min<int64_t>(int64_t(x) + half, mw - 1);
        if (i0 > i1) continue;
        std::memset(mask + size_t(y + j) * size_t(mw) + size_t(i0), 1, size_t(i1 - i0 + 1));
    }
}

// A filled circle of diameter 2w whose bounding box starts at (x - w, y - w).
void discStamp(Image& img, int32_t x, int32_t y, int32_t w, uint32_t colour) {
    uint32_t px = 0xFF000000u | (colour & 0xFFFFFF);
    double cx = x, cy = y, r2 = double(w) * double(w);
    int64_t y0 = std::max<int64_t>(int64_t(y) - w, 0), y1 = std::min<int64_t>(int64_t(y) + w - 1, img.height - 1);
    for (int64_t row = y0; row <= y1; ++row) {
        double dy = double(row) + 0.5 - cy;
        double rest = r2 - dy * dy;
        if (rest < 0) continue;
        double half = std::sqrt(rest);
        int64_t c0 = static_cast<int64_t>(std::ceil(cx - 0.5 - half));
        int64_t c1 = static_cast<int64_t>(std::floor(cx - 0.5 + half));
        c0 = std::max<int64_t>(c0, 0);
        c1 = std::min<int64_t>(c1, img.width - 1);
        if (c0 > c1) continue;
        uint32_t* line = img.row(static_cast<int32_t>(row));
        std::fill(line + c0, line + c1 + 1, px);
    }
}

// Clips a segment to a box (Liang-Barsky); false when nothing is left.
bool clipSegment(double& x0, double& y0, double& x1, double& y1, double lo, double hix, double hiy) {
    double t0 = 0, t1 = 1, dx = x1 - x0, dy = y1 - y0;
    auto edge = [&](double p, double q) {
        if (p == 0) return q >= 0;
        double r = q / p;
        if (p < 0) {
            if (r > t1) return false;
            t0 = std::max(t0, r);
        } else {
            if (r < t0) return false;
            t1 = std::min(t1, r);
        }
        return true;
    };
    if (!edge(-dx, x0 - lo) || !edge(dx, hix - x0) || !edge(-dy, y0 - lo) || !edge(dy, hiy - y0)) return false;
    double nx0 = x0 + t0 * dx, ny0 = y0 + t0 * dy, nx1 = x0 + t1 * dx, ny1 = y0 + t1 * dy;
    x0 = nx0, y0 = ny0, x1 = nx1, y1 = ny1;
    return true;
}

}  // namespace

void maskThickLine(uint8_t* mask, int32_t mw, int32_t mh, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                   int32_t width) {
    if (!mask || mw <= 0 || mh <= 0) return;
    int32_t w = std::min(width, kMaxStampWidth);
    double reach = std::max(w, 2);
    stampLine(x0, y0, x1, y1, -reach, -reach, mw + reach, mh + reach,
              [&](int32_t x, int32_t y) { maskStamp(mask, mw, mh, x, y, w); });
}

void canvasThickLine(Canvas& canvas, int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t width,
                     uint32_t colour) {
    if (width < 1 || (x0 == x1 && y0 == y1)) return;
    Image& img = canvas.image();
    if (width == 1) {
        // The one-pixel line goes through the platform painter; keep its
        // coordinates in a range it handles exactly.
        constexpr int32_t kSafe = 1 << 20;
        auto safe = [&](int32_t v) { return v > -kSafe && v < kSafe; };
        if (safe(x0) && safe(y0) && safe(x1) && safe(y1)) {
            canvas.Line(x0, y0, x1, y1, colour);
            return;
        }
        double fx0 = x0, fy0 = y0, fx1 = x1, fy1 = y1;
        if (!clipSegment(fx0, fy0, fx1, fy1, -2, img.width + 2, img.height + 2)) return;
        canvas.Line(roundHalfUp(fx0), roundHalfUp(fy0), roundHalfUp(fx1), roundHalfUp(fy1), colour);
        return;
    }
    int32_t w = std::min(width, kMaxStampWidth);
    stampLine(x0, y0, x1, y1, -w, -w, img.width + w, img.height + w,
              [&](int32_t x, int32_t y) { discStamp(img, x, y, w, colour); });
}

void canvasDisc(Canvas& canvas, int32_t x, int32_t y, int32_t radius, uint32_t colour) {
    if (radius < 1) return;
    discStamp(canvas.image(), x, y, radius, colour);
}

namespace {

// The discs of many stamps of one width and colour: each centre is marked
// once, and the union of the discs is spread from the marks row by row. A
// long wandering path stamps the same few pixels thousands of times over, so
// this costs the stage's area times the disc's height instead of the stamps
// times the disc's area, and paints exactly the pixels the stamps would.
class DiscUnion {
public:
    DiscUnion(int32_t width, int32_t height, int32_t w)
        : w_(w),
          cols_(int64_t(width) + 2 * int64_t(w) + 4),
          rows_(int64_t(height) + 2 * int64_t(w) + 4),
          width_(width),
          height_(height),
          marks_(size_t(cols_ * rows_), 0) {}

    // The bytes a union of this width would need on an image of that size.
    static int64_t bytesFor(int32_t width, int32_t height, int32_t w) {
        return (int64_t(width) + 2 * int64_t(w) + 4) * (int64_t(height) + 2 * int64_t(w) + 4);
    }

    void mark(int32_t x, int32_t y) {
        int64_t cx = int64_t(x) + w_ + 2, cy = int64_t(y) + w_ + 2;
        // A centre further out cannot reach the image.
        if (cx < 0 || cy < 0 || cx >= cols_ || cy >= rows_) return;
        marks_[size_t(cy * cols_ + cx)] = 1;
    }

    void paint(Image& img, uint32_t colour) const {
        // The span of disc row j (j = row - centre row, -w..w-1) relative to
        // the centre, as discStamp computes it for an integer centre.
        std::vector<int64_t> from(size_t(2 * w_)), to(size_t(2 * w_));
        std::vector<bool> present(size_t(2 * w_), false);
        double r2 = double(w_) * double(w_);
        for (int64_t j = -w_; j < w_; ++j) {
            double dy = double(j) + 0.5;
            double rest = r2 - dy * dy;
            if (rest < 0) continue;
            double half = std::sqrt(rest);
            size_t k = size_t(j + w_);
            present[k] = true;
            from[k] = static_cast<int64_t>(std::ceil(-0.5 - half));
            to[k] = static_cast<int64_t>(std::floor(-0.5 + half));
        }
        std::vector<uint8_t> cover(size_t(width_) * size_t(height_), 0);
        std::vector<int32_t> before(size_t(cols_ + 1));
        for (int64_t cy = 0; cy < rows_; ++cy) {
            const uint8_t* line = marks_.data() + size_t(cy * cols_);
            if (std::find(line, line + cols_, 1) == line + cols_) continue;
            // before[k]: the marks left of column k.
            before[0] = 0;
            for (int64_t k = 0; k < cols_; ++k) before[size_t(k + 1)] = before[size_t(k)] + line[k];
            int64_t y = cy - w_ - 2;
            for (int64_t j = -w_; j < w_; ++j) {
                int64_t row = y + j;
                if (row < 0 || row >= height_ || !present[size_t(j + w_)]) continue;
                int64_t a = from[size_t(j + w_)], b = to[size_t(j + w_)];
                uint8_t* out = cover.data() + size_t(row) * size_t(width_);
                for (int64_t x = 0; x < width_; ++x) {
                    // A centre c covers x when c + a <= x <= c + b.
                    int64_t lo = std::clamp<int64_t>(x - b + w_ + 2, 0, cols_);
                    int64_t hi = std::clamp<int64_t>(x - a + w_ + 2 + 1, 0, cols_);
                    if (before[size_t(hi)] > before[size_t(lo)]) out[x] = 1;
                }
            }
        }
        uint32_t px = 0xFF000000u | (colour & 0xFFFFFF);
        for (int64_t row = 0; row < height_; ++row) {
            const uint8_t* c = cover.data() + size_t(row) * size_t(width_);
            uint32_t* line = img.row(int32_t(row));
            for (int64_t x = 0; x < width_; ++x)
                if (c[x]) line[x] = px;
        }
    }

private:
    int64_t w_, cols_, rows_, width_, height_;
    std::vector<uint8_t> marks_;
};

// Beyond this the union's marks would take more memory than they save time.
constexpr int64_t kMaxUnionBytes = int64_t(64) << 20;

}  // namespace

void drawPathLine(Canvas& canvas, const PathShape& shape, const Path& path, int32_t width, uint32_t colour) {
    if (width < 1) return;
    Image& img = canvas.image();
    int32_t w = std::min(width, kMaxStampWidth);
    if (width >= 2 && img.width > 0 && img.height > 0 &&
        DiscUnion::bytesFor(img.width, img.height, w) <= kMaxUnionBytes) {
        // Stamping each disc costs about its area; the union costs a pass
        // over the stage per disc row. Take the cheaper.
        double stamps = 0;
        shape.strokes(path, 1, [&](int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
            stamps += std::max(std::fabs(double(x1) - x0), std::fabs(double(y1) - y0)) + 1;
        });
        double perStamp = stamps * 4.0 * double(w) * double(w);
        double union_ = (double(img.height) + 2.0 * w) * 2.0 * w * (double(img.width) + 2.0 * w);
        if (union_ < perStamp) {
            DiscUnion discs(img.width, img.height, w);
            shape.strokes(path, 1, [&](int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
                if (x0 == x1 && y0 == y1) return;
                stampLine(x0, y0, x1, y1, -w, -w, img.width + w, img.height + w,
                          [&](int32_t x, int32_t y) { discs.mark(x, y); });
            });
            discs.paint(img, colour);
            return;
        }
    }
    shape.strokes(path, 1, [&](int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
        canvasThickLine(canvas, x0, y0, x1, y1, width, colour);
    });
}

void drawPathMask(uint8_t* mask, int32_t mw, int32_t mh, const PathShape& shape, const Path& path, int32_t width) {
    int32_t w2 = truncToInt(2.0 * width);
    shape.strokes(path, 2, [&](int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
        maskThickLine(mask, mw, mh, x0, y0, x1, y1, w2);
    });
}

}  // namespace tavlin
