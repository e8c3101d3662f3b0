#include "document/drag_path_geometry.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>
#include <vector>

#include "canvas/canvas.h"

namespace tavlin {
namespace {

Path makePath(std::initializer_list<std::array<int32_t, 3>> pts) {
    Path p;
    for (const auto& q : pts) p.addPoint(q[0], q[1], q[2], true);
    p.computeCross();
    return p;
}

std::vector<int32_t> frames(const Path& p) {
    std::vector<int32_t> out;
    for (const PathPoint& q : p.points()) out.push_back(q.frame);
    return out;
}

constexpr uint32_t kWhite = 0xFFFFFFFFu;

// --- mapping a pointer to a frame -------------------------------------------

TEST(PathMapping, HorizontalPathInterpolatesBetweenCrossLinesAndClampsBeyondTheEnds) {
    Path p = makePath({{40, 120, 0}, {280, 120, 99}});
    PointerMapping m = p.mapPointer(160, 200, std::nullopt);
    ASSERT_TRUE(m.mapped);
    EXPECT_DOUBLE_EQ(m.frame, 49.5);
    EXPECT_EQ(m.index, 1);
    EXPECT_DOUBLE_EQ(m.distance, 80);

    // Just inside either end the frame follows the pointer, not the nearer end.
    EXPECT_NEAR(p.mapPointer(41, 100, std::nullopt).frame, 99.0 / 240, 1e-9);
    EXPECT_NEAR(p.mapPointer(279, 140, std::nullopt).frame, 99 - 99.0 / 240, 1e-9);

    // Outside every slab: the nearer end point.
    m = p.mapPointer(39, 120, std::nullopt);
    EXPECT_EQ(m.frame, 0);
    EXPECT_EQ(m.index, 0);
    m = p.mapPointer(10, 50, 60.0);
    EXPECT_EQ(m.frame, 0);
    m = p.mapPointer(300, 0, std::nullopt);
    EXPECT_EQ(m.frame, 99);
    EXPECT_EQ(m.index, 1);
}

TEST(PathMapping, ExactPointsAndButtonsNeedNoInterpolation) {
    Path p = makePath({{40, 120, 0}, {160, 120, 30}, {280, 120, 99}});
    PointerMapping m = p.mapPointer(160, 120, std::nullopt);
    EXPECT_EQ(m.index, 1);
    EXPECT_EQ(m.frame, 30);
    EXPECT_EQ(m.distance, 0);

    Path button = makePath({{10, 10, 21}, {60, 10, 21}});
    for (auto [x, y] : {std::pair{35, 10}, {0, 0}, {100, 300}, {11, 9}, {-5, 10}}) {
        EXPECT_NEAR(button.mapPointer(x, y, std::nullopt).frame, 21, 1e-9) << x << "," << y;
        EXPECT_NEAR(button.mapPointer(x, y, 21.0).frame, 21, 1e-9) << x << "," << y;
    }
}

// A path that runs back alongside itself: 0..200 along y = 10, a step to
// y = 0 and back to x = 0. The return run is nearer to a pointer at y = 3.
Path hairpin() { return makePath({{0, 10, 0}, {100, 10, 20}, {200, 10, 40}, {200, 0, 50}, {0, 0, 100}}); }

TEST(PathMapping, TheCurrentSegmentAndItsNeighboursWinOverANearerRun) {
    Path p = hairpin();
    // Alone, the pointer goes to the nearest run (segment 4).
    PointerMapping global = p.mapPointer(150, 3, std::nullopt);
    EXPECT_EQ(global.index, 4);
    EXPECT_GT(global.frame, 50);

    // Dragging along the outward run (segment 2) keeps it there.
    PointerMapping stay = p.mapPointer(150, 3, 30.0);
    EXPECT_EQ(stay.index, 2);
    EXPECT_NEAR(stay.frame, 30.0, 1.0);

    // From segment 1 the pointer moved on into its neighbour, segment 2.
    PointerMapping next = p.mapPointer(150, 3, 10.0);
    EXPECT_EQ(next.index, 2);
    EXPECT_NEAR(next.frame, (40.0 * 50 + 20.0 * 43) / 93, 1e-9);

    // From segment 3 both neighbours hold the pointer and both beat the
    // nearer end: the drag goes on to the later one, whichever is nearer.
    EXPECT_EQ(p.mapPointer(150, 3, 45.0).index, 4);
    EXPECT_EQ(p.mapPointer(150, 8, 45.0).index, 4);
}

TEST(PathMapping, ADragFromTheTurnOfAUGoesOnAlongTheLaterLeg) {
    Path u = makePath({{0, 0, 0}, {300, 0, 100}, {300, 40, 200}, {0, 40, 300}});
    PointerMapping m = u.mapPointer(150, 15, 150.0);
    EXPECT_EQ(m.index, 3);
    EXPECT_NEAR(m.frame, 245.0, 0.5);
    // Dragging along the first leg keeps to it.
    EXPECT_EQ(u.mapPointer(150, 15, 50.0).index, 1);
}

TEST(PathMapping, DegeneratePathsMapSafely) {
    Path empty;
    EXPECT_FALSE(empty.mapPointer(5, 5, 7.0).mapped);
    EXPECT_EQ(empty.mapPointer(5, 5, 7.0).frame, 7);
    EXPECT_EQ(empty.segmentAtFrame(0), -1);

    Path one = makePath({{5, 5, 3}});
    PointerMapping m = one.mapPointer(5, 5, 9.0);
    EXPECT_FALSE(m.mapped);
    EXPECT_EQ(m.frame, 9);

    // Every point in one place: no direction anywhere, still a sane frame.
    Path same = makePath({{50, 50, 0}, {50, 50, 10}, {50, 50, 20}});
    for (auto [x, y] : {std::pair{50, 50}, {0, 0}, {51, 50}, {50, 200}}) {
        PointerMapping s = same.mapPointer(x, y, 5.0);
        EXPECT_TRUE(std::isfinite(s.frame));
        EXPECT_GE(s.frame, 0);
        EXPECT_LE(s.frame, 20);
    }
    // A doubled point inside a path.
    Path doubled = makePath({{0, 0, 0}, {100, 0, 50}, {100, 0, 60}, {200, 0, 100}});
    for (int x = -10; x <= 210; x += 5) {
        PointerMapping d = doubled.mapPointer(x, 7, std::nullopt);
        EXPECT_TRUE(std::isfinite(d.frame)) << x;
        EXPECT_GE(d.frame, 0);
        EXPECT_LE(d.frame, 100);
    }
}

TEST(PathMapping, SegmentAtFrameTakesTheFirstEnclosingSegment) {
    Path p = makePath({{0, 0, 0}, {10, 0, 50}, {20, 0, 100}, {30, 0, 40}});
    EXPECT_EQ(p.segmentAtFrame(50), 1);
    EXPECT_EQ(p.segmentAtFrame(50.5), 2);
    EXPECT_EQ(p.segmentAtFrame(45), 1);
    EXPECT_EQ(p.segmentAtFrame(-1), -1);
    EXPECT_EQ(p.segmentAtFrame(100.5), -1);
}

// --- shapes -----------------------------------------------------------------

TEST(PathShapes, BezierFollowsTheCurveWhilePolylineFollowsTheChords) {
    Path p = makePath({{0, 0, 0}, {100, 100, 50}, {200, 0, 100}});
    EXPECT_EQ(&PathShape::forPath(p, 1), &BezierShape::instance());
    EXPECT_EQ(&PathShape::forPath(p, 0), &PolylineShape::instance());
    Path two = makePath({{0, 0, 0}, {200, 0, 100}});
    EXPECT_EQ(&PathShape::forPath(two, 1), &PolylineShape::instance());

    PathShape::Position pos;
    ASSERT_TRUE(PolylineShape::instance().positionAt(p, 50, &pos));
    EXPECT_EQ(pos.x, 100);
    EXPECT_EQ(pos.y, 100);
    ASSERT_TRUE(BezierShape::instance().positionAt(p, 50, &pos));
    EXPECT_EQ(pos.x, 100);  // B(1/2) = P0/4 + P1/2 + P2/4
    EXPECT_EQ(pos.y, 50);
    EXPECT_GT(pos.dx, 0);
    EXPECT_EQ(pos.dy, 0);
    ASSERT_TRUE(BezierShape::instance().positionAt(p, 100, &pos));
    EXPECT_EQ(pos.x, 200);
    EXPECT_EQ(pos.y, 0);
    EXPECT_GT(pos.dx, 0);
    EXPECT_LT(pos.dy, 0);  // near the end the curve heads down to P2 again

    EXPECT_FALSE(PolylineShape::instance().positionAt(p, 101, &pos));
    EXPECT_FALSE(BezierShape::instance().positionAt(p, -1, &pos));
    Path still = makePath({{5, 5, 0}, {5, 5, 10}, {5, 5, 20}});
    EXPECT_FALSE(BezierShape::instance().positionAt(still, 5, &pos));  // no length to go along

    EXPECT_EQ(PolylineShape::instance().distanceTo(p, 100, 100), 0);
    EXPECT_EQ(BezierShape::instance().distanceTo(p, 100, 100), 50);
    EXPECT_EQ(PolylineShape::instance().distanceTo(p, 100, 130), 30);
    // Beyond an end only the end point counts, not the extended line.
    EXPECT_EQ(PolylineShape::instance().distanceTo(two, 230, 40), 50);
    Path one = makePath({{5, 5, 0}});
    EXPECT_EQ(PolylineShape::instance().distanceTo(one, 5, 5), 10000000);
}

TEST(PathShapes, HighDegreeBezierStaysFinite) {
    Path p;
    for (int i = 0; i < 1200; ++i) p.addPoint(i % 2 ? 300 : 0, i, i, true);
    double x, y;
    BezierShape::evaluate(p, 0.5, &x, &y);
    EXPECT_NEAR(x, 150, 1);
    EXPECT_NEAR(y, 599.5, 1);
    BezierShape::evaluate(p, 0, &x, &y);
    EXPECT_EQ(x, 0);
    BezierShape::evaluate(p, 1, &x, &y);
    EXPECT_EQ(y, 1199);
}

// Moving a few points of a long curve patches its cached samples; the
// distances and strokes must be exactly those of the same curve sampled anew.
TEST(PathShapes, EditedLongCurveSamplesMatchAFreshCurveBitForBit) {
    std::mt19937 rng(99);
    Path edited;
    for (int i = 0; i < 1000; ++i) edited.addPoint(int32_t(rng() % 640), int32_t(rng() % 480), i, true);
    const BezierShape& shape = BezierShape::instance();
    auto strokesOf = [&](const Path& p) {
        std::vector<int32_t> out;
        shape.strokes(p, 1, [&](int32_t a, int32_t b, int32_t c, int32_t d) { out.insert(out.end(), {a, b, c, d}); });
        return out;
    };
    auto fresh = [](const Path& p) {
        Path copy;
        for (const PathPoint& q : p.points()) copy.addPoint(q.x, q.y, q.frame, true);
        return copy;
    };
    (void)shape.distanceTo(edited, 0, 0);
    (void)strokesOf(edited);
    // One point, a handful at both ends, one at the very start, then more
    // than are patched (the samples are made anew).
    const std::vector<std::vector<int32_t>> moves = {{500}, {0, 999, 998, 3}, {}, {}};
    for (size_t round = 0; round < moves.size(); ++round) {
        std::vector<int32_t> which = moves[round];
        if (which.empty())
            for (int k = 0; k < (round == 2 ? 64 : 200); ++k) which.push_back(int32_t(rng() % 1000));
        for (int32_t i : which) {
            edited.point(i)->x += int32_t(rng() % 41) - 20;
            edited.point(i)->y += int32_t(rng() % 41) - 20;
        }
        Path reference = fresh(edited);
        for (int32_t x = -40; x < 700; x += 37)
            for (int32_t y = -40; y < 520; y += 29)
                ASSERT_EQ(shape.distanceTo(edited, x, y), shape.distanceTo(reference, x, y)) << round;
        ASSERT_EQ(strokesOf(edited), strokesOf(reference)) << round;
    }
}

// --- rasterisation ----------------------------------------------------------

TEST(PathSimplify, ThinsCloseAndSameFramePointsAndRoundsSharpTurns) {
    Path p;
    for (int i = 0; i <= 200; ++i) p.addPoint(i, 100, i, true);
    p.simplify(32);
    ASSERT_GE(p.count(), 2);
    for (int i = 1; i + 1 < p.count(); ++i) EXPECT_GE(p.point(i)->x - p.point(i - 1)->x, 32);
    EXPECT_EQ(p.point(0)->x, 0);
    EXPECT_EQ(p.point(p.count() - 1)->x, 200);

    // Out and straight back: the turn at the far end gets rounded.
    Path hairpin = makePath({{0, 0, 0}, {100, 0, 50}, {0, 4, 100}});
    hairpin.simplify(32);
    ASSERT_GT(hairpin.count(), 3);
    EXPECT_EQ(hairpin.point(2)->x, 100);
    EXPECT_EQ(hairpin.point(2)->y, 31);  // 32 along the bisector, truncated
    EXPECT_EQ(hairpin.point(2)->frame, 55);
    // The cross directions were computed for the new chain.
    EXPECT_NEAR(std::hypot(hairpin.point(2)->cx, hairpin.point(2)->cy), 1.0, 1e-12);

    // All frames equal (in and out points alike): only the ends survive.
    Path flat;
    for (int i = 0; i < 10; ++i) flat.addPoint(i * 50, 0, 7, true);
    flat.simplify(32);
    EXPECT_EQ(flat.count(), 2);
}

TEST(PathSimplify, PathologicalInputAlwaysEnds) {
    // Tight zigzags make every turn sharp, and rounding one turn tends to make
    // another; the number of inserted points must stay bounded.
    Path zig;
    for (int i = 0; i < 300; ++i) zig.addPoint(i % 2 ? 400 : 0, i * 40, i, true);
    zig.simplify(32);
    EXPECT_LE(zig.count(), 300 * 16);

    std::mt19937 rng(7);
    for (int round = 0; round < 20; ++round) {
        Path r;
        int n = 2 + int(rng() % 60);
        for (int i = 0; i < n; ++i) r.addPoint(int(rng() % 200), int(rng() % 200), i * 3, true);
        int32_t d = int32_t(rng() % 80);
        r.simplify(d);
        EXPECT_LE(r.count(), n * 16) << round;
        for (const PathPoint& q : r.points()) EXPECT_TRUE(std::isfinite(q.cx) && std::isfinite(q.cy));
    }

    Path stacked;
    for (int i = 0; i < 50; ++i) stacked.addPoint(10, 10, i, true);
    stacked.simplify(0);
    EXPECT_LE(stacked.count(), 50);

    Path huge = makePath({{-2000000000, 0, 0}, {2000000000, 1, 1}, {-2000000000, 2, 2}});
    huge.simplify(2147483647);
    EXPECT_GE(huge.count(), 2);
}

TEST(PathFrames, DistributeSpreadsByIndexWithIntegerSteps) {
    Path p = makePath({{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {3, 0, 0}, {4, 0, 0}});
    p.distributeFrames(0, 99);
    EXPECT_EQ(frames(p), (std::vector<int32_t>{0, 24, 49, 74, 99}));
    p.distributeFrames(99, 0);
    EXPECT_EQ(frames(p), (std::vector<int32_t>{99, 75, 50, 25, 0}));
    p.distributeFrames(7, 7);
    EXPECT_EQ(frames(p), (std::vector<int32_t>{7, 7, 7, 7, 7}));

    Path wide = makePath({{0, 0, 0}, {1, 0, 0}, {2, 0, 0}});
    wide.distributeFrames(-2147483647 - 1, 2147483647);
    EXPECT_EQ(frames(wide), (std::vector<int32_t>{-2147483647 - 1, -1, 2147483647}));

    Path one = makePath({{3, 3, 50}});
    one.distributeFrames(12, 40);
    EXPECT_EQ(one.point(0)->frame, 12);
}

TEST(PathFrames, DroppingAPointOnAnotherCutsTheLoopBetween) {
    auto six = [] {
        return makePath({{0, 0, 0}, {10, 0, 1}, {20, 0, 2}, {30, 0, 3}, {40, 0, 4}, {50, 0, 5}});
    };
    Path p = six();
    EXPECT_TRUE(p.dropPoint(3, 51, 2));  // inner point onto point 5
    EXPECT_EQ(frames(p), (std::vector<int32_t>{0, 1, 2, 5}));

    p = six();
    EXPECT_TRUE(p.dropPoint(4, 11, -1));  // inner point back onto point 1
    EXPECT_EQ(frames(p), (std::vector<int32_t>{0, 1, 5}));

    p = six();
    EXPECT_TRUE(p.dropPoint(0, 20, 3));  // first point onto point 2
    EXPECT_EQ(frames(p), (std::vector<int32_t>{0, 3, 4, 5}));

    p = six();
    EXPECT_TRUE(p.dropPoint(5, 12, 0));  // last point onto point 1
    EXPECT_EQ(frames(p), (std::vector<int32_t>{0, 5}));

    p = six();
    EXPECT_TRUE(p.dropPoint(0, 50, 0));  // end onto end: a closed loop stays
    EXPECT_EQ(p.count(), 6);
    EXPECT_TRUE(p.dropPoint(2, 24, 0));  // 4 pixels off is not on it
    EXPECT_EQ(p.count(), 6);
    EXPECT_TRUE(p.dropPoint(17, 20, 0));  // no such point
    EXPECT_EQ(p.count(), 6);

    Path one = makePath({{0, 0, 0}});
    EXPECT_FALSE(one.dropPoint(0, 0, 0));
}

}  // namespace
}  // namespace tavlin
