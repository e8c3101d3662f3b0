#pragma once
// The drag path algorithms as they were before the curve was cached and
// simplify was made one pass: every Bezier sample weighs all points again and
// simplify erases and inserts in place. Kept as the reference the faster code
// must match bit for bit (tests) and beat (benchmarks).

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "document/drag_path_geometry.h"

namespace tavlin::reference {

constexpr int32_t kFar = 10000000;

inline double hypotOf(double dx, double dy) { return std::sqrt(dx * dx + dy * dy); }

inline void evaluate(const Path& path, double u, double* x, double* y) {
    const auto& p = path.points();
    *x = 0;
    *y = 0;
    if (p.empty()) return;
    int64_t deg = int64_t(p.size()) - 1;
    if (deg <= 500) {
        double coef = 1;
        for (int64_t i = 0; i <= deg; ++i) {
            double term = coef * std::pow(1 - u, double(deg - i)) * std::pow(u, double(i));
            *x += term * p[size_t(i)].x;
            *y += term * p[size_t(i)].y;
            coef = coef * double(deg - i) / double(i + 1);
        }
        return;
    }
    if (u <= 0) {
        *x = p.front().x, *y = p.front().y;
        return;
    }
    if (u >= 1) {
        *x = p.back().x, *y = p.back().y;
        return;
    }
    double lu = std::log(u), lv = std::log1p(-u), lgd = std::lgamma(double(deg) + 1);
    for (int64_t i = 0; i <= deg; ++i) {
        double lc = lgd - std::lgamma(double(i) + 1) - std::lgamma(double(deg - i) + 1);
        double term = std::exp(lc + double(deg - i) * lv + double(i) * lu);
        *x += term * p[size_t(i)].x;
        *y += term * p[size_t(i)].y;
    }
}

inline int32_t bezierDistance(const Path& path, int32_t x, int32_t y) {
    if (path.count() == 0) return kFar;
    double best = kFar;
    for (double u = 0; u <= 1; u += 0.01) {
        double bx, by;
        evaluate(path, u, &bx, &by);
        double dx = std::trunc(x - bx), dy = std::trunc(y - by);
        best = std::min(best, hypotOf(dx, dy));
    }
    return truncToInt(best);
}

inline bool bezierPosition(const Path& path, double frame, PathShape::Position* out) {
    int32_t i = path.segmentAtFrame(frame);
    if (i < 1) return false;
    const auto& p = path.points();
    auto chord = [](const PathPoint& a, const PathPoint& b) { return hypotOf(double(b.x) - a.x, double(b.y) - a.y); };
    auto roundHalfUp = [](double v) { return truncToInt(v + 0.5); };
    double total = 0, before = 0;
    for (int32_t j = 1; j < path.count(); ++j) {
        double c = chord(p[size_t(j - 1)], p[size_t(j)]);
        total += c;
        if (j < i) before += c;
    }
    if (total <= 0) return false;
    const PathPoint& a = p[size_t(i - 1)];
    const PathPoint& b = p[size_t(i)];
    double t = a.frame == b.frame ? 0 : (frame - a.frame) / (double(b.frame) - a.frame);
    if (t < 0 || t > 1) return false;
    double qx = roundHalfUp((1 - t) * a.x + t * b.x), qy = roundHalfUp((1 - t) * a.y + t * b.y);
    double u = (before + hypotOf(qx - a.x, qy - a.y)) / total;
    double bx, by;
    evaluate(path, u, &bx, &by);
    out->x = truncToInt(bx);
    out->y = truncToInt(by);
    double ox, oy;
    if (u < 0.9) {
        evaluate(path, u + 0.05, &ox, &oy);
        out->dx = truncToInt(ox - bx);
        out->dy = truncToInt(oy - by);
    } else {
        evaluate(path, u - 0.05, &ox, &oy);
        out->dx = truncToInt(bx - ox);
        out->dy = truncToInt(by - oy);
    }
    return true;
}

inline void bezierStrokes(const Path& path, int32_t scale, const PathShape::StrokeSink& sink) {
    if (path.count() == 0) return;
    int64_t m = BezierShape::sampleCount(path);
    double s = scale;
    int32_t px = truncToInt(s * path.point(0)->x), py = truncToInt(s * path.point(0)->y);
    for (int64_t j = 1; j <= m; ++j) {
        double bx, by;
        evaluate(path, double(j) / double(m), &bx, &by);
        int32_t cx = truncToInt(s * bx + 0.5), cy = truncToInt(s * by + 0.5);
        sink(px, py, cx, cy);
        px = cx, py = cy;
    }
}

// The Bezier shape drawn the old way, for drawing through the real rasteriser.
class BezierShape final : public PathShape {
public:
    bool positionAt(const Path& path, double frame, Position* out) const override {
        return bezierPosition(path, frame, out);
    }
    int32_t distanceTo(const Path& path, int32_t x, int32_t y) const override { return bezierDistance(path, x, y); }
    void strokes(const Path& path, int32_t scale, const StrokeSink& sink) const override {
        bezierStrokes(path, scale, sink);
    }
};

inline void simplify(Path& path, int32_t minDistance) {
    constexpr double kPi = 3.14159265358979323846;
    constexpr int32_t kMaxTurnInsertions = 4;
    auto& p = path.points();
    auto close = [&](const PathPoint& u, const PathPoint& v) {
        return std::llabs(int64_t(u.x) - v.x) < minDistance && std::llabs(int64_t(u.y) - v.y) < minDistance;
    };
    size_t last = 0;
    size_t i = 1;
    while (i + 1 < p.size()) {
        if (close(p[i], p[last]) || p[i].frame == p[last].frame) {
            p.erase(p.begin() + long(i));
        } else {
            last = i;
            ++i;
        }
    }
    if (p.size() >= 3) {
        size_t s = p.size() - 2;
        if (close(p[s], p.back()) || p[s].frame == p.back().frame) p.erase(p.begin() + long(s));
    }

    const double cos45 = std::cos(kPi / 4);
    std::vector<int32_t> spawned(p.size(), 0);
    size_t from = 2;
    bool again = true;
    while (again) {
        again = false;
        for (size_t c = from; c < p.size(); ++c) {
            const PathPoint& A = p[c - 2];
            const PathPoint& B = p[c - 1];
            const PathPoint& C = p[c];
            double bax = double(A.x) - B.x, bay = double(A.y) - B.y;
            double bcx = double(C.x) - B.x, bcy = double(C.y) - B.y;
            double acx = double(C.x) - A.x, acy = double(C.y) - A.y;
            double ba2 = bax * bax + bay * bay, bc2 = bcx * bcx + bcy * bcy, ac2 = acx * acx + acy * acy;
            if (ba2 == 0 || bc2 == 0) continue;
            double ba = std::sqrt(ba2), bc = std::sqrt(bc2);
            double cosB = (ba2 + bc2 - ac2) / 2 / (ba * bc);
            if (!(cosB > cos45) || spawned[c - 1] >= kMaxTurnInsertions) continue;
            double u1x = -bax / ba, u1y = -bay / ba;
            double u2x = bcx / bc, u2y = bcy / bc;
            double mx = u1x + u2x, my = u1y + u2y;
            double mlen = hypotOf(mx, my);
            double ox, oy;
            if (mlen >= 1e-10) {
                ox = minDistance * mx / mlen;
                oy = minDistance * my / mlen;
            } else {
                ox = -minDistance * u2y;
                oy = minDistance * u2x;
            }
            PathPoint q;
            q.x = truncToInt(B.x + ox);
            q.y = truncToInt(B.y + oy);
            q.frame = truncToInt(0.1 * C.frame + 0.9 * B.frame);
            q.flags = 0;
            int32_t budget = ++spawned[c - 1];
            p.insert(p.begin() + long(c), q);
            spawned.insert(spawned.begin() + long(c), budget);
            from = c;
            again = true;
            break;
        }
    }
    path.computeCross();
}

}  // namespace tavlin::reference
