// The cached Bezier curve and the one-pass simplify against the algorithms
// they replaced (support/path_reference.h), bit for bit, on random paths.

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <tuple>
#include <vector>

#include "document/document.h"
#include "document/drag_path.h"
#include "document/drag_path_geometry.h"
#include "support/path_reference.h"

namespace tavlin {
namespace {

using Strokes = std::vector<std::tuple<int32_t, int32_t, int32_t, int32_t>>;

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

Path randomPath(std::mt19937& rng, int32_t count, int32_t spread) {
    std::uniform_int_distribution<int32_t> coord(-spread, spread), frame(0, 300);
    Path p;
    for (int32_t i = 0; i < count; ++i) p.addPoint(coord(rng), coord(rng), frame(rng), i % 7 != 3);
    p.computeCross();
    return p;
}

Strokes strokesOf(const PathShape& shape, const Path& path, int32_t scale) {
    Strokes out;
    shape.strokes(path, scale, [&](int32_t a, int32_t b, int32_t c, int32_t d) { out.emplace_back(a, b, c, d); });
    return out;
}

Strokes referenceStrokes(const Path& path, int32_t scale) {
    Strokes out;
    reference::bezierStrokes(path, scale, [&](int32_t a, int32_t b, int32_t c, int32_t d) { out.emplace_back(a, b, c, d); });
    return out;
}

// Samples, hover distances, thumb positions and drawn strokes of one path.
void expectSameCurve(const Path& path, std::mt19937& rng, bool withStrokes) {
    const BezierShape& shape = BezierShape::instance();
    std::uniform_real_distribution<double> unit(0, 1);
    std::vector<double> us = {0, 1, 1e-300, 1e-9, 0.5, 1 - 1e-9, 0.999999, -0.25, 1.25};
    for (int i = 0; i < 12; ++i) us.push_back(unit(rng));
    for (double u : us) {
        double x, y, rx, ry;
        BezierShape::evaluate(path, u, &x, &y);
        reference::evaluate(path, u, &rx, &ry);
        ASSERT_TRUE(sameBits(x, rx) && sameBits(y, ry)) << "u " << u << " of " << path.count() << " points";
    }
    std::uniform_int_distribution<int32_t> pointer(-3000, 3000);
    for (int i = 0; i < 25; ++i) {
        int32_t px = pointer(rng), py = pointer(rng);
        ASSERT_EQ(shape.distanceTo(path, px, py), reference::bezierDistance(path, px, py)) << px << "," << py;
    }
    for (double f : {-1.0, 0.0, 17.5, 150.0, 299.0, 301.0}) {
        PathShape::Position a, b;
        bool found = shape.positionAt(path, f, &a);
        ASSERT_EQ(found, reference::bezierPosition(path, f, &b));
        if (found) {
            ASSERT_EQ(std::tie(a.x, a.y, a.dx, a.dy), std::tie(b.x, b.y, b.dx, b.dy)) << "frame " << f;
        }
    }
    if (withStrokes) {
        ASSERT_EQ(strokesOf(shape, path, 1), referenceStrokes(path, 1));
        ASSERT_EQ(strokesOf(shape, path, 2), referenceStrokes(path, 2));
    }
}

TEST(CachedCurve, MatchesTheFullSumForSmallHighAndHugeDegrees) {
    std::mt19937 rng(2024);
    // Both sides of the change from direct coefficients to logarithms.
    for (int32_t count : {1, 2, 3, 4, 9, 40, 500, 501, 502, 520}) {
        for (int32_t spread : {5, 640, 2000000000}) {
            SCOPED_TRACE(testing::Message() << count << " points within " << spread);
            Path p = randomPath(rng, count, spread);
            expectSameCurve(p, rng, count <= 40 || spread == 640);
        }
    }
    // Degrees where most terms vanish; the full sum is slow, so fewer samples.
    for (int32_t count : {3000, 100000}) {
        Path p = randomPath(rng, count, 640);
        std::uniform_real_distribution<double> unit(0, 1);
        for (double u : {1e-7, 0.003, unit(rng), 0.5, unit(rng), 0.9999}) {
            double x, y, rx, ry;
            BezierShape::evaluate(p, u, &x, &y);
            reference::evaluate(p, u, &rx, &ry);
            ASSERT_TRUE(sameBits(x, rx) && sameBits(y, ry)) << "u " << u << " of " << count << " points";
        }
        int32_t d = BezierShape::instance().distanceTo(p, 10, 470);
        if (count == 3000) {
            EXPECT_EQ(d, reference::bezierDistance(p, 10, 470));
        }
        // The hover samples are kept: the second call gives the same.
        EXPECT_EQ(BezierShape::instance().distanceTo(p, 10, 470), d);
    }
}

TEST(CachedCurve, EveryWayOfChangingPointsIsSeen) {
    std::mt19937 rng(77);
    Document doc(640, 480);
    auto owned = std::make_unique<DragPath>(doc);
    DragPath& dp = *owned;
    doc.addObject(std::move(owned));
    dp.path = randomPath(rng, 600, 640);
    dp.curveFlag = 1;
    const BezierShape& shape = BezierShape::instance();
    auto check = [&](const char* step) {
        SCOPED_TRACE(step);
        ASSERT_EQ(&dp.shape(), &shape);
        for (auto [x, y] : {std::pair{320, 240}, {0, 0}, {639, 10}})
            ASSERT_EQ(shape.distanceTo(dp.path, x, y), reference::bezierDistance(dp.path, x, y));
        ASSERT_EQ(strokesOf(shape, dp.path, 1), referenceStrokes(dp.path, 1));
        double bx, by, rx, ry;
        BezierShape::evaluate(dp.path, 0.37, &bx, &by);
        reference::evaluate(dp.path, 0.37, &rx, &ry);
        ASSERT_TRUE(sameBits(bx, rx) && sameBits(by, ry));
    };
    check("fresh");
    dp.point(17)->x += 3;
    check("a point moved through point()");
    dp.path.points()[599].y -= 1;
    check("a point moved through points()");
    dp.moveTo(dp.left + 5, dp.top - 2);
    check("the object moved");
    dp.path.insertPoint(300, PathPoint{1, 2, 3});
    check("a point inserted");
    dp.path.removePoint(0);
    dp.path.removePoints(10, 12);
    check("points removed");
    // Same count and same coordinates but one pair swapped.
    std::swap(dp.path.points()[5], dp.path.points()[6]);
    check("two points swapped");
    Path copy = dp.path;
    copy.point(1)->x += 100;
    ASSERT_NE(shape.distanceTo(copy, 320, 240), -1);
    check("a copy changed while sharing the samples");
    ASSERT_EQ(shape.distanceTo(copy, 320, 240), reference::bezierDistance(copy, 320, 240));
    dp.path.clear();
    for (const PathPoint& q : copy.points()) dp.path.addPoint(q.x, q.y, q.frame, true);
    check("cleared and drawn again");
    dp.path.simplify(8);
    check("simplified");
    dp.path.removePoints(3, dp.path.count());
    check("three points left");
}

void expectSamePoints(const Path& got, const Path& want) {
    ASSERT_EQ(got.count(), want.count());
    for (int32_t i = 0; i < got.count(); ++i) {
        const PathPoint& a = *got.point(i);
        const PathPoint& b = *want.point(i);
        ASSERT_EQ(std::tie(a.x, a.y, a.frame, a.flags), std::tie(b.x, b.y, b.frame, b.flags)) << "point " << i;
        ASSERT_TRUE(sameBits(a.cx, b.cx) && sameBits(a.cy, b.cy)) << "cross direction of point " << i;
    }
}

TEST(OnePassSimplify, KeepsAndRoundsTheSamePointsAsErasingInPlace) {
    std::mt19937 rng(9);
    int32_t cases = 0;
    for (int32_t count : {0, 1, 2, 3, 4, 5, 8, 30, 400, 3000}) {
        for (int round = 0; round < 12; ++round) {
            // Free-hand wandering, zigzags whose every turn is sharp, doubled
            // points and runs of one frame, at several thinning distances.
            std::uniform_int_distribution<int32_t> step(-round * 4, round * 4), pick(0, 9);
            Path p;
            int32_t x = 0, y = 0, f = 0;
            for (int32_t i = 0; i < count; ++i) {
                switch (round % 4) {
                    case 0: x += step(rng), y += step(rng), f += pick(rng) < 3 ? 0 : 1; break;
                    case 1: x = (i % 2) ? 600 : 0, y += 3, f = i; break;
                    case 2: if (pick(rng) < 6) x += step(rng), y += step(rng); f += pick(rng) < 5; break;
                    default: x = step(rng) * 1000000, y = -step(rng) * 1000000, f = int32_t(rng()); break;
                }
                p.addPoint(x, y, f, pick(rng) != 0);
            }
            for (int32_t minDistance : {0, 1, 5, 32, 700, -3}) {
                SCOPED_TRACE(testing::Message() << count << " points, pattern " << round % 4 << ", distance " << minDistance);
                Path ours = p, theirs = p;
                ours.simplify(minDistance);
                reference::simplify(theirs, minDistance);
                expectSamePoints(ours, theirs);
                ++cases;
            }
        }
    }
    EXPECT_EQ(cases, 10 * 12 * 6);
}

}  // namespace
}  // namespace tavlin
