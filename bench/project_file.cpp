// Reading and writing a large project: 200 drag paths with 50,000 points in
// all (target: 50 ms or less each).

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "document/document.h"
#include "document/drag_path.h"
#include "document/project_file.h"

namespace {

using namespace tavlin;

std::unique_ptr<Document> largeDocument() {
    auto doc = std::make_unique<Document>(640, 480);
    doc->setLength(1000);
    for (int o = 0; o < 200; ++o) {
        auto path = std::make_unique<DragPath>(*doc);
        path->uniqueName("dpath");
        for (int i = 0; i < 250; ++i) path->addPoint((i * 7 + o) % 640, (i * 13 + o * 3) % 480, i * 4, i % 50 != 0);
        path->computeCross();
        path->fitRectangle();
        path->ranges.push_back({0, 999});
        doc->addObject(std::move(path));
    }
    return doc;
}

void BM_WriteProject(benchmark::State& state) {
    auto doc = largeDocument();
    for (auto _ : state) {
        std::string text = writeProject(*doc);
        benchmark::DoNotOptimize(text.data());
    }
}
BENCHMARK(BM_WriteProject)->Unit(benchmark::kMillisecond);

void BM_ReadProject(benchmark::State& state) {
    std::string text = writeProject(*largeDocument());
    for (auto _ : state) {
        auto doc = readProject(text, MediaLookup::documentOnly);
        benchmark::DoNotOptimize(doc.get());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}
BENCHMARK(BM_ReadProject)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
