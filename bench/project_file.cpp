// Reading and writing a large project: 200 drag paths with 50,000 points in
// all (target: 50 ms or less each).

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "document/document.h"
#include "document/drag_path.h"
#include "document/project_file.h"
#include "bench/large_document.h"

namespace {

using namespace tavlin;

void BM_WriteProject(benchmark::State& state) {
    auto doc = bench::largeDocument();
    for (auto _ : state) {
        std::string text = writeProject(*doc);
        benchmark::DoNotOptimize(text.data());
    }
}
BENCHMARK(BM_WriteProject)->Unit(benchmark::kMillisecond);

void BM_ReadProject(benchmark::State& state) {
    std::string text = writeProject(*bench::largeDocument());
    for (auto _ : state) {
        auto doc = readProject(text, MediaLookup::documentOnly);
        benchmark::DoNotOptimize(doc.get());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}
BENCHMARK(BM_ReadProject)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
