// Drag path speed: mapping the pointer on a long path (target: 20 us or less)
// and rendering a 640 x 480 stage with four paths, smoothed on a still stage
// (target: 15 ms or less) and fast while editing (target: 3 ms or less).
//
// Big paths of 100,000 points, each beside the way it was done before (the
// reference in tests/support/path_reference.h): hovering a Bezier path
// (target: 5 ms or less per pointer move), thinning a free-hand stroke
// (50 ms or less) and the edit-mode render (100 ms or less).

#include <benchmark/benchmark.h>

#include <QGuiApplication>

#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <random>
#include <string>

#include "canvas/canvas.h"
#include "document/document.h"
#include "document/drag_path.h"
#include "render/path_raster.h"
#include "render/stage_renderer.h"
#include "tests/support/path_reference.h"

namespace {

using namespace tavlin;

constexpr int32_t kBigPath = 100000;

void BM_MapPointer1000Points(benchmark::State& state) {
    Path path;
    // A zigzag that runs back alongside itself, the hard case for the search.
    for (int i = 0; i < 1000; ++i) path.addPoint((i % 2) ? 600 : 40, 20 + i * 440 / 1000, i, true);
    path.computeCross();
    int step = 0;
    for (auto _ : state) {
        int x = 40 + (step * 37) % 560, y = 20 + (step * 53) % 440;
        auto m = path.mapPointer(x, y, double((step * 11) % 1000));
        benchmark::DoNotOptimize(m);
        ++step;
    }
}
BENCHMARK(BM_MapPointer1000Points)->Unit(benchmark::kMicrosecond);

std::unique_ptr<Document> fourPathStage() {
    auto doc = std::make_unique<Document>(640, 480);
    doc->setLength(100);
    for (int p = 0; p < 4; ++p) {
        auto path = std::make_unique<DragPath>(*doc);
        path->uniqueName("dpath");
        for (int i = 0; i < 24; ++i) {
            double a = i * M_PI / 12;
            path->addPoint(int32_t(160 + 300 * (p % 2) + 120 * std::cos(a)), int32_t(120 + 240 * (p / 2) + 90 * std::sin(a)),
                           i * 99 / 23, true);
        }
        path->stateWidths = {3, 3, 3};
        path->arrowMode = 1;
        path->computeCross();
        path->fitRectangle();
        path->ranges.push_back({0, 99});
        doc->addObject(std::move(path));
    }
    doc->currentFrame = 50;
    return doc;
}

void BM_RenderSmoothed(benchmark::State& state) {
    auto doc = fourPathStage();
    doc->editMode = 0;
    StageRenderer stage;
    for (auto _ : state) benchmark::DoNotOptimize(&stage.render(*doc));
}
BENCHMARK(BM_RenderSmoothed)->Unit(benchmark::kMillisecond);

void BM_RenderFast(benchmark::State& state) {
    auto doc = fourPathStage();
    doc->editMode = 1;
    StageRenderer stage;
    for (auto _ : state) benchmark::DoNotOptimize(&stage.render(*doc));
}
BENCHMARK(BM_RenderFast)->Unit(benchmark::kMillisecond);

// --- big paths --------------------------------------------------------------

// A hand-drawn stroke: small random steps wandering over a 640 x 480 stage,
// its frames spread over 0..99 as the draw tool does before thinning.
Path wanderingStroke(int32_t count, uint32_t seed) {
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int32_t> step(-6, 6);
    Path path;
    int32_t x = 320, y = 240;
    for (int32_t i = 0; i < count; ++i) {
        x = std::clamp(x + step(rng), 0, 639);
        y = std::clamp(y + step(rng), 0, 479);
        path.addPoint(x, y, 0, true);
    }
    path.distributeFrames(0, 99);
    return path;
}

// One selected path of kBigPath points on a 640 x 480 stage in edit mode,
// with its grab zone shown.
std::unique_ptr<Document> bigPathStage(bool bezier) {
    auto doc = std::make_unique<Document>(640, 480);
    doc->setLength(100);
    auto path = std::make_unique<DragPath>(*doc);
    path->uniqueName("dpath");
    path->path = wanderingStroke(kBigPath, 7);
    path->curveFlag = bezier ? 1 : 0;
    path->grabLimit = 12;
    path->stateWidths = {3, 3, 3};
    path->computeCross();
    path->fitRectangle();
    path->ranges.push_back({0, 99});
    path->selected = true;
    doc->addObject(std::move(path));
    doc->currentFrame = 50;
    doc->editMode = 1;
    return doc;
}

DragPath& onlyPath(Document& doc) { return static_cast<DragPath&>(*doc.objects.front()); }

// Nudges one point back and forth, as dragging a point in the editor does.
void editOnePoint(DragPath& dp, int64_t step) {
    PathPoint& p = *dp.point(int32_t(step * 7919 % dp.count()));
    p.x += (step & 1) ? -1 : 1;
}

void BM_HoverBezier100k(benchmark::State& state) {
    auto doc = bigPathStage(true);
    int64_t step = 0;
    for (auto _ : state) {
        DragPath* hit = pickPath(*doc, int32_t(step * 37 % 640), int32_t(step * 53 % 480));
        benchmark::DoNotOptimize(hit);
        ++step;
    }
}
BENCHMARK(BM_HoverBezier100k)->Unit(benchmark::kMillisecond);

// The first pointer move after a point was moved pays for the samples.
void BM_HoverBezier100kAfterEdit(benchmark::State& state) {
    auto doc = bigPathStage(true);
    int64_t step = 0;
    for (auto _ : state) {
        editOnePoint(onlyPath(*doc), step);
        DragPath* hit = pickPath(*doc, int32_t(step * 37 % 640), int32_t(step * 53 % 480));
        benchmark::DoNotOptimize(hit);
        ++step;
    }
}
BENCHMARK(BM_HoverBezier100kAfterEdit)->Unit(benchmark::kMillisecond);

void BM_HoverBezier100kReference(benchmark::State& state) {
    auto doc = bigPathStage(true);
    const Path& path = onlyPath(*doc).path;
    int64_t step = 0;
    for (auto _ : state) {
        int32_t d = reference::bezierDistance(path, int32_t(step * 37 % 640), int32_t(step * 53 % 480));
        benchmark::DoNotOptimize(d);
        ++step;
    }
}
BENCHMARK(BM_HoverBezier100kReference)->Unit(benchmark::kMillisecond)->Iterations(2);

template <class Simplify>
void simplifyRun(benchmark::State& state, Simplify simplify) {
    const Path stroke = wanderingStroke(kBigPath, 11);
    for (auto _ : state) {
        state.PauseTiming();
        Path path = stroke;
        state.ResumeTiming();
        simplify(path);
        benchmark::DoNotOptimize(path.count());
    }
}
void BM_Simplify100k(benchmark::State& state) {
    simplifyRun(state, [](Path& p) { p.simplify(32); });
}
void BM_Simplify100kReference(benchmark::State& state) {
    simplifyRun(state, [](Path& p) { reference::simplify(p, 32); });
}
BENCHMARK(BM_Simplify100k)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Simplify100kReference)->Unit(benchmark::kMillisecond)->Iterations(2);

void renderRun(benchmark::State& state, bool bezier, bool edited) {
    auto doc = bigPathStage(bezier);
    StageRenderer stage;
    int64_t step = 0;
    for (auto _ : state) {
        if (edited) editOnePoint(onlyPath(*doc), step++);
        benchmark::DoNotOptimize(&stage.render(*doc));
    }
}
void BM_RenderEditBezier100k(benchmark::State& s) { renderRun(s, true, false); }
void BM_RenderEditBezier100kAfterEdit(benchmark::State& s) { renderRun(s, true, true); }
void BM_RenderEditPolyline100k(benchmark::State& s) { renderRun(s, false, false); }
BENCHMARK(BM_RenderEditBezier100k)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenderEditBezier100kAfterEdit)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenderEditPolyline100k)->Unit(benchmark::kMillisecond);

// What the edit-mode render of the Bezier path drew before: the grab zone and
// the line, each sampling the curve again.
void BM_RenderEditBezier100kReference(benchmark::State& state) {
    auto doc = bigPathStage(true);
    const DragPath& dp = onlyPath(*doc);
    const reference::BezierShape oldShape;
    Canvas canvas(640, 480);
    for (auto _ : state) {
        canvas.FillRect(0, 0, 640, 480, 0xFFFFFF);
        drawPathLine(canvas, oldShape, dp.path, dp.grabLimit, 0xC0C0C0);
        drawPathLine(canvas, oldShape, dp.path, dp.stateWidths[0], uint32_t(dp.stateColours[0]) & 0xFFFFFF);
        benchmark::DoNotOptimize(&canvas);
    }
}
BENCHMARK(BM_RenderEditBezier100kReference)->Unit(benchmark::kMillisecond)->Iterations(2);

// Keeps each run's time per iteration so the ratios can be printed at the end.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const auto& run : runs)
            if (!run.error_occurred && run.run_type == Run::RT_Iteration)
                ms[run.run_name.function_name] = run.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> ms;  // per iteration, in milliseconds (the runs' unit)
};

void printRatio(const RatioReporter& r, const std::string& ours, const std::string& before, double goalMs) {
    auto a = r.ms.find(ours);
    auto b = r.ms.find(before);
    if (a == r.ms.end()) return;
    std::printf("%s: %.3f ms (goal <= %.0f ms: %s)", ours.c_str(), a->second, goalMs,
                a->second <= goalMs ? "met" : "MISSED");
    if (b != r.ms.end() && a->second > 0) std::printf(", %.0f times faster than %s", b->second / a->second, before.c_str());
    std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    printRatio(reporter, "BM_HoverBezier100k", "BM_HoverBezier100kReference", 5);
    printRatio(reporter, "BM_HoverBezier100kAfterEdit", "BM_HoverBezier100kReference", 5);
    printRatio(reporter, "BM_Simplify100k", "BM_Simplify100kReference", 50);
    printRatio(reporter, "BM_RenderEditBezier100k", "BM_RenderEditBezier100kReference", 100);
    printRatio(reporter, "BM_RenderEditBezier100kAfterEdit", "BM_RenderEditBezier100kReference", 100);
    printRatio(reporter, "BM_RenderEditPolyline100k", "", 100);
    benchmark::Shutdown();
    return 0;
}
