// The recovery copy of a large project (200 drag paths, 50,000 points)
// against a plain write of the same bytes, and the autosave step the
// interface waits for (goal: under 20 ms, so that it never stutters).

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include <unistd.h>

#include "core/autosave.h"
#include "core/recovery_store.h"
#include "document/document.h"
#include "document/drag_path.h"
#include "document/project_file.h"
#include "bench/large_document.h"

namespace {

using namespace tavlin;
namespace fs = std::filesystem;

// A folder of this run, beside where the user's recovery folder would be
// (the same file system as a real one is likely to be).
struct BenchFolder {
    std::string path = (fs::temp_directory_path() / ("tavlin-bench-recovery-" + std::to_string(::getpid()))).string();
    BenchFolder() { fs::create_directories(path); }
    ~BenchFolder() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
};

const std::string& projectText() {
    static const std::string text = writeProject(*bench::largeDocument());
    return text;
}

void BM_PlainWrite(benchmark::State& state) {
    BenchFolder folder;
    std::string bytes = formatRecoveryFile("/home/user/large.tvl", 0, projectText());
    std::string file = folder.path + "/plain";
    for (auto _ : state) {
        std::FILE* f = std::fopen(file.c_str(), "wb");
        if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) state.SkipWithError("write failed");
        if (f) std::fclose(f);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes.size()));
    state.counters["bytes"] = double(bytes.size());
}
BENCHMARK(BM_PlainWrite)->Unit(benchmark::kMillisecond);

void BM_RecoveryWrite(benchmark::State& state) {
    BenchFolder folder;
    RecoveryStore store(folder.path);
    const std::string& text = projectText();
    for (auto _ : state)
        if (!store.write("/home/user/large.tvl", text)) state.SkipWithError("write failed");
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
    state.counters["bytes"] = double(fs::file_size(store.currentFile()));
}
BENCHMARK(BM_RecoveryWrite)->Unit(benchmark::kMillisecond);

// What the idle step costs the interface when a copy is due: the text made
// from the document, compared with the last one, and handed to the writer.
void BM_AutosaveStep(benchmark::State& state) {
    BenchFolder folder;
    int64_t now = 0;
    RecoveryStore store(folder.path, [&now] { return now; });
    Autosave autosave(store);
    autosave.setInterval(1);
    auto doc = bench::largeDocument();
    Autosave::State modified{true, false, "/home/user/large.tvl"};
    auto text = [&doc] { return writeProject(*doc); };
    autosave.step(modified, text);
    int32_t nudge = 0;
    for (auto _ : state) {
        state.PauseTiming();
        // The previous write ends off the clock: the interface does not wait for it.
        autosave.finishWrite();
        now += 1000;
        // A change, so that every step writes.
        doc->objects[0]->moveTo(++nudge % 50, 0);
        state.ResumeTiming();
        if (!autosave.step(modified, text)) state.SkipWithError("no copy written");
    }
}
BENCHMARK(BM_AutosaveStep)->Unit(benchmark::kMillisecond);

class TimeReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const auto& run : runs)
            if (!run.error_occurred && (run.run_type == Run::RT_Iteration || run.aggregate_name == "mean"))
                ms[run.run_name.str()] = run.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> ms;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    TimeReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("recovery file of 200 paths / 50,000 points: %zu bytes\n",
                formatRecoveryFile("/home/user/large.tvl", 0, projectText()).size());
    auto ours = reporter.ms.find("BM_RecoveryWrite"), plain = reporter.ms.find("BM_PlainWrite");
    if (ours != reporter.ms.end() && plain != reporter.ms.end() && plain->second > 0)
        std::printf("ratio BM_RecoveryWrite / BM_PlainWrite = %.2f\n", ours->second / plain->second);
    auto step = reporter.ms.find("BM_AutosaveStep");
    if (step != reporter.ms.end())
        std::printf("autosave step %.2f ms (goal < 20 ms: %s)\n", step->second, step->second < 20 ? "met" : "MISSED");
    benchmark::Shutdown();
    return 0;
}
