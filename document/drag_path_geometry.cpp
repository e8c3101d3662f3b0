#include "document/drag_path_geometry.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "base/numbers.h"


namespace tavlin {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int32_t kFar = 10000000;

// Widths come from project files; beyond this a stamp covers any stage many
// times over, and bounding it bounds the work a damaged file can cause.
constexpr int32_t kMaxStampWidth = 8192;

// How often one point may spawn a rounding point in simplify. Each spawned
// point inherits its parent's count, so the number of insertions per original
// point stays below 2^kMaxTurnInsertions and the rounding always ends.
constexpr int32_t kMaxTurnInsertions = 4;

// Bezier drawing evaluates every control point for every sample; above this
// much work the sample count is reduced so that a huge damaged path still
// draws in bounded time.
constexpr double kMaxBezierWork = 5e7;

double side(double px, double py, const PathPoint& a) { return (px - a.x) * a.cy - (py - a.y) * a.cx; }

double cross(double ux, double uy, double vx, double vy) { return ux * vy - uy * vx; }

double hypotOf(double dx, double dy) { return std::sqrt(dx * dx + dy * dy); }

double chord(const PathPoint& a, const PathPoint& b) { return hypotOf(double(b.x) - a.x, double(b.y) - a.y); }

int32_t roundHalfUp(double v) { return truncToInt(v + 0.5); }

// Up to this degree the binomial coefficients stay finite; above it the curve
// is summed in logarithms.
constexpr int64_t kMaxDirectDegree = 500;

// exp() of anything below about -745.1 is exactly 0, so a term whose exponent
// is smaller adds nothing to the curve; the margin covers rounding in the
// exponent.
constexpr double kVanishingExponent = -800;

}  // namespace

// Samples of a path's Bezier curve, each of which weighs every point: a long
// curve is sampled once per change of its coordinates, not on every pointer
// move and every frame drawn.
struct CurveSamples {
    std::vector<int32_t> xy;      // the coordinates sampled: x0, y0, x1, y1, ...
    // log C(deg, i) for degrees above kMaxDirectDegree; it depends on the
    // count only, so samples of moved points share it.
    std::shared_ptr<const std::vector<double>> logCoef;
    std::vector<double> hover;    // x, y at u = 0, 0.01, ... (distanceTo)
    std::vector<double> drawn;    // x, y at u = j / sampleCount, j = 1.. (strokes)
    // For each sample, the first and last point whose weight was summed:
    // moving any other point leaves that sample's bits as they are.
    std::vector<int64_t> hoverSpan;
    std::vector<int64_t> drawnSpan;
    bool hoverReady = false;
    bool drawnReady = false;
};

namespace {

// Some library code (seen after Qt's start-up) leaves the upper halves of the
// AVX registers dirty. Every call from this file's SSE code into libm's AVX
// builds of exp and lgamma then pays a state switch, which made the curve ten
// times slower in the studio than alone. Clearing the state once before a
// long run of such calls avoids it.
void clearUpperVectorState() {
#if defined(__x86_64__) && defined(__GNUC__)
    static const bool hasAvx = __builtin_cpu_supports("avx");
    if (hasAvx) asm volatile("vzeroupper");
#endif
}

const std::vector<double>& logCoefficients(CurveSamples& c, int64_t deg) {
    if (!c.logCoef || int64_t(c.logCoef->size()) != deg + 1) {
        std::vector<double> logFactorial(size_t(deg) + 1);
        for (int64_t k = 0; k <= deg; ++k) logFactorial[size_t(k)] = std::lgamma(double(k) + 1);
        auto table = std::make_shared<std::vector<double>>(size_t(deg) + 1);
        double lgd = logFactorial[size_t(deg)];
        for (int64_t i = 0; i <= deg; ++i)
            (*table)[size_t(i)] = lgd - logFactorial[size_t(i)] - logFactorial[size_t(deg - i)];
        c.logCoef = std::move(table);
    }
    return *c.logCoef;
}

// The curve at u with every point as a control point. `samples` holds the
// logarithmic coefficients of high degrees (needed above kMaxDirectDegree).
// `span`, when given, receives the first and last point summed.
void curveAt(const std::vector<PathPoint>& p, CurveSamples* samples, double u, double* x, double* y,
             int64_t* span = nullptr) {
    *x = 0;
    *y = 0;
    if (p.empty()) return;
    int64_t deg = int64_t(p.size()) - 1;
    int64_t unused[2];
    if (!span) span = unused;
    span[0] = 0;
    span[1] = deg;
    if (deg <= kMaxDirectDegree) {
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
        span[1] = 0;
        return;
    }
    if (u >= 1) {
        *x = p.back().x, *y = p.back().y;
        span[0] = deg;
        return;
    }
    clearUpperVectorState();
    const std::vector<double>& logCoef = logCoefficients(*samples, deg);
    double lu = std::log(u), lv = std::log1p(-u);
    auto exponent = [&](int64_t i) {
        double lc = logCoef[size_t(i)];
        return lc + double(deg - i) * lv + double(i) * lu;
    };
    // The exponents are a concave function of i (the log of a binomial
    // distribution) peaking within one of u * deg: walking out from the peak,
    // once below kVanishingExponent they stay below and every term further
    // out is exactly zero. Summing the rest in the same order gives the same
    // bits as summing all of them.
    int64_t peak = std::clamp<int64_t>(int64_t(u * double(deg) + 0.5), 0, deg);
    int64_t lo = 0, hi = deg;
    if (exponent(peak) >= kVanishingExponent) {
        lo = hi = peak;
        while (lo > 0 && exponent(lo - 1) >= kVanishingExponent) --lo;
        while (hi < deg && exponent(hi + 1) >= kVanishingExponent) ++hi;
    }
    span[0] = lo;
    span[1] = hi;
    for (int64_t i = lo; i <= hi; ++i) {
        double term = std::exp(exponent(i));
        *x += term * p[size_t(i)].x;
        *y += term * p[size_t(i)].y;
    }
}

}  // namespace

int32_t truncToInt(double v) { return truncToInt32(v); }

// --- free helpers ----------------------------------------------------------

double lineDistance(double px, double py, const PathPoint& a, const PathPoint& b) {
    double dx = double(b.x) - a.x, dy = double(b.y) - a.y;
    double len = hypotOf(dx, dy);
    if (len >= 1e-10) return std::fabs((dy / len) * (px - b.x) - (dx / len) * (py - b.y));
    return hypotOf(px - b.x, py - b.y);
}

double projectionParameter(double px, double py, const PathPoint& a, const PathPoint& b) {
    double ex = double(a.x) - b.x, ey = double(a.y) - b.y;
    double len2 = ex * ex + ey * ey;
    if (len2 < 1e-10) return 0;
    return ((a.x - px) * ex + (a.y - py) * ey) / len2;
}

bool sameSide(double px, double py, double qx, double qy, const PathPoint& a) {
    return side(px, py, a) * side(qx, qy, a) >= 0;
}

// --- Path ------------------------------------------------------------------

void Path::addPoint(int32_t x, int32_t y, int32_t frame, bool ordinary) {
    PathPoint p;
    p.x = x;
    p.y = y;
    p.frame = frame;
    p.flags = ordinary ? 0 : PathPoint::kHandOver;
    points_.push_back(p);
}

void Path::insertPoint(int32_t index, const PathPoint& p) {
    index = std::clamp(index, 0, count());
    points_.insert(points_.begin() + index, p);
}

void Path::removePoint(int32_t index) {
    if (index < 0 || index >= count()) return;
    points_.erase(points_.begin() + index);
}

void Path::removePoints(int32_t first, int32_t last) {
    first = std::max(first, 0);
    last = std::min(last, count() - 1);
    if (first > last) return;
    points_.erase(points_.begin() + first, points_.begin() + last + 1);
}

PathPoint* Path::point(int32_t index) {
    if (index < 0 || index >= count()) return nullptr;
    return &points_[size_t(index)];
}

const PathPoint* Path::point(int32_t index) const {
    if (index < 0 || index >= count()) return nullptr;
    return &points_[size_t(index)];
}

void Path::computeCross() {
    int32_t n = count();
    if (n < 2) return;
    auto& p = points_;
    p[0].cx = -(double(p[1].y) - p[0].y);
    p[0].cy = double(p[1].x) - p[0].x;
    p[n - 1].cx = -(double(p[n - 1].y) - p[n - 2].y);
    p[n - 1].cy = double(p[n - 1].x) - p[n - 2].x;
    for (int32_t i = 1; i < n - 1; ++i) {
        double a1 = std::atan2(double(p[i].y) - p[i - 1].y, double(p[i].x) - p[i - 1].x);
        double a2 = std::atan2(double(p[i + 1].y) - p[i].y, double(p[i + 1].x) - p[i].x);
        double theta = a1 + (kPi - (a1 - a2)) / 2;
        p[i].cx = std::cos(theta);
        p[i].cy = std::sin(theta);
    }
}

int32_t Path::segmentAtFrame(double frame) const {
    for (int32_t i = 1; i < count(); ++i) {
        if ((points_[i].frame - frame) * (points_[i - 1].frame - frame) <= 0) return i;
    }
    return -1;
}

void Path::markSlabs(int32_t x, int32_t y) {
    if (points_.empty()) return;
    // Each point's side value serves two segments; no branches in the loop,
    // as dragging maps the pointer on every mouse move.
    double prev = side(x, y, points_[0]);
    for (size_t i = 1; i < points_.size(); ++i) {
        const PathPoint& a = points_[i - 1];
        PathPoint& b = points_[i];
        double here = side(x, y, b);
        bool in = (prev * side(b.x, b.y, a) >= 0) & (here * side(a.x, a.y, b) >= 0);
        b.flags = (b.flags & ~PathPoint::kInSlab) | (in ? PathPoint::kInSlab : 0);
        prev = here;
    }
}

PointerMapping Path::mapPointer(int32_t x, int32_t y, std::optional<double> currentFrame) {
    PointerMapping out;
    out.frame = currentFrame.value_or(0);
    int32_t n = count();
    if (n < 2) return out;
    out.mapped = true;
    markSlabs(x, y);
    auto marked = [&](int32_t i) { return (points_[i].flags & PathPoint::kInSlab) != 0; };
    auto dist = [&](int32_t i) { return lineDistance(x, y, points_[i - 1], points_[i]); };

    int32_t chosen = -1;
    double best = 0;
    int32_t k = -1;
    bool keep = false;  // the current frame's segment holds the pointer
    if (currentFrame) {
        k = segmentAtFrame(*currentFrame);
        if (k > 0 && marked(k)) {
            chosen = k;
            best = dist(k);
            keep = true;
        }
    }
    if (!keep) {
        for (int32_t i = 0; i < n; ++i) {
            if (points_[i].x == x && points_[i].y == y) {
                out.index = i;
                out.distance = 0;
                out.frame = points_[i].frame;
                return out;
            }
        }
        double d0 = hypotOf(double(x) - points_[0].x, double(y) - points_[0].y);
        double dL = hypotOf(double(x) - points_[n - 1].x, double(y) - points_[n - 1].y);
        int32_t nearestEnd = d0 <= dL ? 0 : n - 1;
        best = std::min(d0, dL);
        bool neighbourBefore = false;
        bool neighbourAfter = false;
        // The segment before is only chosen here: the one after is still held
        // against the nearer end, not against the segment before, so a drag
        // that turns at a U goes on along the later leg.
        if (k >= 2 && marked(k - 1) && dist(k - 1) < best) {
            chosen = k - 1;
            neighbourBefore = true;
        }
        if (k >= 0 && k + 1 < n && marked(k + 1) && dist(k + 1) < best) {
            chosen = k + 1;
            best = dist(k + 1);
            neighbourAfter = true;
        }
        if (!neighbourBefore && !neighbourAfter) {
            for (int32_t i = 1; i < n; ++i) {
                if (!marked(i)) continue;
                double d = dist(i);
                if (d < best) {
                    best = d;
                    chosen = i;
                }
            }
        }
        if (chosen < 0) {
            out.index = nearestEnd;
            out.distance = best;
            out.frame = points_[nearestEnd].frame;
            return out;
        }
    }

    const PathPoint& a = points_[chosen - 1];
    const PathPoint& b = points_[chosen];
    out.index = chosen;
    out.distance = best;
    double dx = double(b.x) - a.x, dy = double(b.y) - a.y;
    double dlen = hypotOf(dx, dy);
    double crossA = cross(dx, dy, a.cx, a.cy), crossB = cross(dx, dy, b.cx, b.cy);
    if (std::fabs(crossA) > 1e-10 && std::fabs(crossB) > 1e-10) {
        // P + s*d meets the cross line through a (or b); |s|*|d| is the way there.
        double sa = cross(double(a.x) - x, double(a.y) - y, a.cx, a.cy) / crossA;
        double sb = cross(double(b.x) - x, double(b.y) - y, b.cx, b.cy) / crossB;
        double da = std::fabs(sa) * dlen, db = std::fabs(sb) * dlen;
        if (da + db > 1e-10) {
            out.frame = (double(b.frame) * da + double(a.frame) * db) / (da + db);
            return out;
        }
    }
    out.frame = b.frame;
    return out;
}

void Path::simplify(int32_t minDistance) {
    auto close = [&](const PathPoint& u, const PathPoint& v) {
        return std::llabs(int64_t(u.x) - v.x) < minDistance && std::llabs(int64_t(u.y) - v.y) < minDistance;
    };
    // Thinning: a point goes when it is close to, or shares the frame of, the
    // last point kept; the end points stay. One pass into a new list, as
    // erasing in place costs a move of the rest for every point dropped.
    if (points_.size() >= 3) {
        std::vector<PathPoint> kept;
        kept.reserve(points_.size());
        kept.push_back(points_.front());
        for (size_t i = 1; i + 1 < points_.size(); ++i) {
            const PathPoint& q = points_[i];
            if (!close(q, kept.back()) && q.frame != kept.back().frame) kept.push_back(q);
        }
        kept.push_back(points_.back());
        if (kept.size() >= 3) {
            const PathPoint& s = kept[kept.size() - 2];
            if (close(s, kept.back()) || s.frame == kept.back().frame) kept.erase(kept.end() - 2);
        }
        points_.swap(kept);
    }
    if (points_.size() >= 3) roundTurns(minDistance);
    computeCross();
}

void Path::roundTurns(int32_t minDistance) {
    const double cos45 = std::cos(kPi / 4);
    // A point put in at a turn is looked at next, with the two points before
    // it, so it may round the turn further (within its parent's budget). Points
    // waiting to be looked at stack up in front of the next original point.
    struct Spawn {
        PathPoint point;
        int32_t budget;
    };
    std::vector<PathPoint> out;
    std::vector<int32_t> spawned;  // per point of `out`: rounding points made after it
    std::vector<Spawn> waiting;
    out.reserve(points_.size() + points_.size() / 4);
    spawned.reserve(out.capacity());
    out.push_back(points_[0]);
    out.push_back(points_[1]);
    spawned.assign(2, 0);
    size_t next = 2;
    while (!waiting.empty() || next < points_.size()) {
        const PathPoint C = waiting.empty() ? points_[next] : waiting.back().point;
        const int32_t cBudget = waiting.empty() ? 0 : waiting.back().budget;
        const PathPoint& A = out[out.size() - 2];
        const PathPoint& B = out.back();
        double bax = double(A.x) - B.x, bay = double(A.y) - B.y;
        double bcx = double(C.x) - B.x, bcy = double(C.y) - B.y;
        double acx = double(C.x) - A.x, acy = double(C.y) - A.y;
        double ba2 = bax * bax + bay * bay, bc2 = bcx * bcx + bcy * bcy, ac2 = acx * acx + acy * acy;
        // No angle at a doubled point.
        if (ba2 != 0 && bc2 != 0 && spawned.back() < kMaxTurnInsertions) {
            double ba = std::sqrt(ba2), bc = std::sqrt(bc2);
            double cosB = (ba2 + bc2 - ac2) / 2 / (ba * bc);
            if (cosB > cos45) {
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
                waiting.push_back({q, ++spawned.back()});
                continue;
            }
        }
        out.push_back(C);
        spawned.push_back(cBudget);
        if (waiting.empty())
            ++next;
        else
            waiting.pop_back();
    }
    points_.swap(out);
}

bool Path::dropPoint(int32_t j, int32_t x, int32_t y) {
    int32_t n = count();
    int32_t k = -1;
    if (j >= 0 && j < n) {
        for (int32_t i = 0; i < n; ++i) {
            if (i == j) continue;
            if (std::llabs(int64_t(x) - points_[i].x) < 4 && std::llabs(int64_t(y) - points_[i].y) < 4) {
                k = i;
                break;
            }
        }
    }
    if (k >= 0) {
        bool jEnd = j == 0 || j == n - 1;
        bool kEnd = k == 0 || k == n - 1;
        if (!jEnd) {
            if (j < k)
                removePoints(j, k - 1);
            else
                removePoints(k + 1, j);
        } else if (!kEnd) {
            if (k > j)
                removePoints(j + 1, k);
            else
                removePoints(k, j - 1);
        }
    }
    computeCross();
    return count() >= 2;
}

void Path::distributeFrames(int32_t first, int32_t last) {
    int64_t n = count();
    if (n == 1) {
        // A path drawn without moving the mouse sits at the start frame.
        points_[0].frame = first;
        return;
    }
    for (int64_t i = 0; i < n; ++i) {
        int64_t f = int64_t(first) + (i * (int64_t(last) - first)) / (n - 1);
        points_[size_t(i)].frame = static_cast<int32_t>(f);
    }
}

// --- shapes ----------------------------------------------------------------

const PathShape& PathShape::forPath(const Path& path, int32_t curveFlag) {
    if (path.count() > 2 && curveFlag == 1) return BezierShape::instance();
    return PolylineShape::instance();
}

const PolylineShape& PolylineShape::instance() {
    static const PolylineShape shape;
    return shape;
}

bool PolylineShape::positionAt(const Path& path, double frame, Position* out) const {
    int32_t i = path.segmentAtFrame(frame);
    if (i < 1) return false;
    const PathPoint& a = *path.point(i - 1);
    const PathPoint& b = *path.point(i);
    double t = a.frame == b.frame ? 0 : (frame - a.frame) / (double(b.frame) - a.frame);
    if (t < 0 || t > 1) return false;
    out->x = roundHalfUp((1 - t) * a.x + t * b.x);
    out->y = roundHalfUp((1 - t) * a.y + t * b.y);
    out->dx = truncToInt(double(b.x) - a.x);
    out->dy = truncToInt(double(b.y) - a.y);
    return true;
}

int32_t PolylineShape::distanceTo(const Path& path, int32_t x, int32_t y) const {
    if (path.count() < 2) return kFar;
    const auto& p = path.points();
    double best = std::numeric_limits<double>::max();
    for (const PathPoint& q : p) best = std::min(best, hypotOf(double(x) - q.x, double(y) - q.y));
    for (size_t i = 1; i < p.size(); ++i) {
        double t = projectionParameter(x, y, p[i - 1], p[i]);
        if (t >= 0 && t <= 1) best = std::min(best, lineDistance(x, y, p[i - 1], p[i]));
    }
    return truncToInt(best);
}

const BezierShape& BezierShape::instance() {
    static const BezierShape shape;
    return shape;
}

void BezierShape::evaluate(const Path& path, double u, double* x, double* y) {
    curveAt(path.points(), path.count() - 1 > kMaxDirectDegree ? &samplesOf(path) : nullptr, u, x, y);
}

namespace {

// Beyond this many moved points the samples are simply made anew.
constexpr size_t kMaxPatchedPoints = 64;

// Sums again the samples of `values` whose span holds a moved point; the
// others keep their bits, since every moved point weighed exactly zero there.
template <class USequence>
void resample(const std::vector<PathPoint>& p, CurveSamples& c, std::vector<double>& values,
              std::vector<int64_t>& spans, const std::vector<int64_t>& moved, USequence uAt) {
    for (size_t k = 0; 2 * k + 1 < spans.size(); ++k) {
        auto first = std::lower_bound(moved.begin(), moved.end(), spans[2 * k]);
        if (first == moved.end() || *first > spans[2 * k + 1]) continue;
        curveAt(p, &c, uAt(k), &values[2 * k], &values[2 * k + 1], &spans[2 * k]);
    }
}

}  // namespace

CurveSamples& BezierShape::samplesOf(const Path& path) {
    const auto& p = path.points();
    CurveSamples* c = path.curve_.get();
    std::vector<int64_t> moved;
    bool patchable = c && c->xy.size() == 2 * p.size();
    for (size_t i = 0; patchable && i < p.size(); ++i) {
        if (c->xy[2 * i] == p[i].x && c->xy[2 * i + 1] == p[i].y) continue;
        moved.push_back(int64_t(i));
        patchable = moved.size() <= kMaxPatchedPoints;
    }
    if (patchable && moved.empty()) return *c;
    // A fresh object rather than a refill: copies of the path may share the old one.
    auto fresh = std::make_shared<CurveSamples>();
    if (c) fresh->logCoef = c->logCoef;
    fresh->xy.reserve(2 * p.size());
    for (const PathPoint& q : p) {
        fresh->xy.push_back(q.x);
        fresh->xy.push_back(q.y);
    }
    // A few points dragged on a long curve move only the samples they weigh
    // in, which keeps editing a huge curve interactive.
    if (patchable && p.size() - 1 > size_t(kMaxDirectDegree)) {
        if (c->hoverReady) {
            fresh->hover = c->hover;
            fresh->hoverSpan = c->hoverSpan;
            std::vector<double> us;
            for (double u = 0; u <= 1; u += 0.01) us.push_back(u);
            resample(p, *fresh, fresh->hover, fresh->hoverSpan, moved, [&](size_t k) { return us[k]; });
            fresh->hoverReady = true;
        }
        if (c->drawnReady) {
            fresh->drawn = c->drawn;
            fresh->drawnSpan = c->drawnSpan;
            double m = double(fresh->drawnSpan.size() / 2);
            resample(p, *fresh, fresh->drawn, fresh->drawnSpan, moved, [&](size_t k) { return double(k + 1) / m; });
            fresh->drawnReady = true;
        }
    }
    path.curve_ = fresh;
    return *fresh;
}

bool BezierShape::positionAt(const Path& path, double frame, Position* out) const {
    int32_t i = path.segmentAtFrame(frame);
    if (i < 1) return false;
    const auto& p = path.points();
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

int32_t BezierShape::distanceTo(const Path& path, int32_t x, int32_t y) const {
    if (path.count() == 0) return kFar;
    CurveSamples& c = samplesOf(path);
    if (!c.hoverReady) {
        for (double u = 0; u <= 1; u += 0.01) {
            double bx, by;
            int64_t span[2];
            curveAt(path.points(), &c, u, &bx, &by, span);
            c.hover.push_back(bx);
            c.hover.push_back(by);
            c.hoverSpan.insert(c.hoverSpan.end(), span, span + 2);
        }
        c.hoverReady = true;
    }
    double best = kFar;
    for (size_t k = 0; k + 1 < c.hover.size(); k += 2) {
        double dx = std::trunc(x - c.hover[k]), dy = std::trunc(y - c.hover[k + 1]);
        best = std::min(best, hypotOf(dx, dy));
    }
    return truncToInt(best);
}

int64_t BezierShape::sampleCount(const Path& path) {
    double n = path.count();
    double m = 10 * n;
    if (m * n > kMaxBezierWork) m = std::max(10.0, std::floor(kMaxBezierWork / n));
    return static_cast<int64_t>(m);
}

void PolylineShape::strokes(const Path& path, int32_t scale, const StrokeSink& sink) const {
    const auto& p = path.points();
    double s = scale;
    for (size_t i = 1; i < p.size(); ++i)
        sink(truncToInt(s * p[i - 1].x), truncToInt(s * p[i - 1].y), truncToInt(s * p[i].x), truncToInt(s * p[i].y));
}

void BezierShape::strokes(const Path& path, int32_t scale, const StrokeSink& sink) const {
    if (path.count() == 0) return;
    CurveSamples& c = samplesOf(path);
    if (!c.drawnReady) {
        int64_t m = sampleCount(path);
        c.drawn.reserve(size_t(2 * m));
        for (int64_t j = 1; j <= m; ++j) {
            double bx, by;
            int64_t span[2];
            curveAt(path.points(), &c, double(j) / double(m), &bx, &by, span);
            c.drawn.push_back(bx);
            c.drawn.push_back(by);
            c.drawnSpan.insert(c.drawnSpan.end(), span, span + 2);
        }
        c.drawnReady = true;
    }
    double s = scale;
    int32_t px = truncToInt(s * path.point(0)->x), py = truncToInt(s * path.point(0)->y);
    for (size_t k = 0; k + 1 < c.drawn.size(); k += 2) {
        int32_t cx = truncToInt(s * c.drawn[k] + 0.5), cy = truncToInt(s * c.drawn[k + 1] + 0.5);
        sink(px, py, cx, cy);
        px = cx, py = cy;
    }
}

}  // namespace tavlin
