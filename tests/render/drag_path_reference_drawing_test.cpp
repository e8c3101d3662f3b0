// Bezier paths drawn from the kept curve samples against the curve summed
// anew for every sample (support/path_reference.h): the same pixels.

#include <gtest/gtest.h>

#include <array>
#include <random>
#include <vector>

#include "canvas/canvas.h"
#include "document/document.h"
#include "document/drag_path.h"
#include "render/path_raster.h"
#include "render/stage_test_helpers.h"
#include "support/path_reference.h"

namespace tavlin {
namespace {

Path randomPath(std::mt19937& rng, int32_t count, int32_t lo, int32_t hi) {
    std::uniform_int_distribution<int32_t> coord(lo, hi), frame(0, 99);
    Path p;
    for (int32_t i = 0; i < count; ++i) p.addPoint(coord(rng), coord(rng), frame(rng), true);
    p.computeCross();
    return p;
}

// The strokes summed anew, taken once per scale and replayed for every width
// (summing them is slow).
class RecordedStrokes final : public PathShape {
public:
    explicit RecordedStrokes(const Path& path) {
        for (int32_t scale : {1, 2})
            reference::bezierStrokes(path, scale, [&](int32_t a, int32_t b, int32_t c, int32_t d) {
                strokes_[size_t(scale - 1)].push_back({a, b, c, d});
            });
    }
    bool positionAt(const Path&, double, Position*) const override { return false; }
    int32_t distanceTo(const Path&, int32_t, int32_t) const override { return 0; }
    void strokes(const Path&, int32_t scale, const StrokeSink& sink) const override {
        for (const auto& s : strokes_[size_t(scale - 1)]) sink(s[0], s[1], s[2], s[3]);
    }

private:
    std::array<std::vector<std::array<int32_t, 4>>, 2> strokes_;
};

TEST(KeptCurveDrawing, LinesMasksAndTheEditingStageMatchTheCurveSummedAnew) {
    std::mt19937 rng(31);
    const BezierShape& now = BezierShape::instance();
    for (int32_t count : {3, 7, 60, 150}) {
        // On the stage, partly off it, and far beyond it.
        for (auto [lo, hi] : {std::pair{0, 199}, {-150, 350}, {-90000, 90000}}) {
            SCOPED_TRACE(testing::Message() << count << " points in " << lo << ".." << hi);
            Path path = randomPath(rng, count, lo, hi);
            const RecordedStrokes before(path);
            for (int32_t width : {1, 3, 12}) {
                Canvas a(200, 160), b(200, 160);
                drawPathLine(a, now, path, width, 0x123456);
                drawPathLine(b, before, path, width, 0x123456);
                ASSERT_EQ(a.image().pixels, b.image().pixels) << "width " << width;
                std::vector<uint8_t> ma(400 * 320), mb(400 * 320);
                drawPathMask(ma.data(), 400, 320, now, path, width);
                drawPathMask(mb.data(), 400, 320, before, path, width);
                ASSERT_EQ(ma, mb) << "mask, width " << width;
            }
        }
    }

    // The whole stage while editing: grab zone and line of a selected path,
    // drawn twice (the second time from the kept samples) and after a point moved.
    Document doc(200, 160);
    doc.setLength(100);
    auto owned = std::make_unique<DragPath>(doc);
    owned->path = randomPath(rng, 160, -20, 220);
    owned->curveFlag = 1;
    owned->grabLimit = 9;
    owned->stateWidths = {3, 3, 3};
    owned->stateColours = {0x0000FF, 0x0000FF, 0x0000FF};
    owned->arrowMode = 0;
    owned->ranges.push_back({0, 99});
    owned->selected = 1;
    DragPath& dp = *static_cast<DragPath*>(doc.addObject(std::move(owned)));
    doc.editMode = 1;
    doc.currentFrame = 40;
    for (int pass = 0; pass < 3; ++pass) {
        if (pass == 2) dp.point(80)->y += 60;
        const std::vector<uint32_t> got = test::renderStage(doc).image().pixels;
        Canvas want(200, 160);
        const RecordedStrokes before(dp.path);
        drawPathLine(want, before, dp.path, dp.grabLimit, 0xC0C0C0);
        drawPathLine(want, before, dp.path, 3, 0x0000FF);
        ASSERT_EQ(got, want.image().pixels) << "pass " << pass;
    }
}

}  // namespace
}  // namespace tavlin
