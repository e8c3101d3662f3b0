// Drag path speed: mapping the pointer on a long path (target: 20 us or less)
// and rendering a 640 x 480 stage with four paths, smoothed on a still stage
// (target: 15 ms or less) and fast while editing (target: 3 ms or less).

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>

#include "document/document.h"
#include "document/drag_path.h"

namespace {

using namespace tavlin;

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
    for (auto _ : state) {
        doc->render();
        benchmark::DoNotOptimize(doc->stage.get());
    }
}
BENCHMARK(BM_RenderSmoothed)->Unit(benchmark::kMillisecond);

void BM_RenderFast(benchmark::State& state) {
    auto doc = fourPathStage();
    doc->editMode = 1;
    for (auto _ : state) {
        doc->render();
        benchmark::DoNotOptimize(doc->stage.get());
    }
}
BENCHMARK(BM_RenderFast)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
