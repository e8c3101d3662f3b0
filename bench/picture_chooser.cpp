// Opening the picture chooser on a folder of 500 photographs of 4000 x 3000:
// the time until the first screen of thumbnails is drawn, and the longest
// stretch without input being looked at (one thumbnail), each set against
// decoding one full picture through the media registry in the same run.

#include <benchmark/benchmark.h>

#include <QApplication>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include "base/paths.h"
#include "core/resource_folder.h"
#include "media/media_registry.h"
#include "studio/picture_chooser.h"
#include "ui/platform.h"

namespace {

using namespace tavlin;

constexpr int kPictures = 500;
constexpr int32_t kWidth = 4000, kHeight = 3000;

// A photograph's stand-in: smooth gradients with noise, which JPEG cannot
// squeeze to nothing. Written once and linked under 500 names, so the disk
// holds one file while the chooser sees 500.
const std::string& photoFolder() {
    static const std::string folder = [] {
        std::string dir = (std::filesystem::temp_directory_path() / "tavlin-bench-photos").string();
        std::filesystem::create_directories(dir);
        std::string first = joinPath(dir, "photo0000.jpg");
        if (!fileExists(first)) {
            Image img(kWidth, kHeight);
            std::mt19937 rng(11);
            for (int32_t y = 0; y < kHeight; ++y)
                for (int32_t x = 0; x < kWidth; ++x) {
                    int n = int(rng() % 17) - 8;
                    auto ch = [&](int v) { return uint32_t(std::clamp(v + n, 0, 255)); };
                    img.at(x, y) =
                        0xFF000000u | ch(x * 255 / kWidth) << 16 | ch(y * 255 / kHeight) << 8 | ch((x ^ y) & 255);
                }
            findImageFormat(first)->write(first, img);
        }
        for (int i = 1; i < kPictures; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "photo%04d.jpg", i);
            std::string link = joinPath(dir, name);
            std::error_code ec;
            if (!fileExists(link)) std::filesystem::create_hard_link(first, link, ec);
        }
        return dir;
    }();
    return folder;
}

void setUp() {
    static bool done = false;
    if (done) return;
    done = true;
    registerImageFormats();
    resources().Open(joinPath(TAVLIN_SOURCE_DIR, "res"));
}

// Reference: one full picture decoded through the registry.
void FullPictureDecode(benchmark::State& state) {
    setUp();
    std::string path = joinPath(photoFolder(), "photo0000.jpg");
    for (auto _ : state) benchmark::DoNotOptimize(readImage(path));
}
BENCHMARK(FullPictureDecode)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// From opening the folder until the 20 cells in view show their thumbnails,
// with input processed between every two thumbnails, from a cold cache.
void ChooserFirstScreen(benchmark::State& state) {
    setUp();
    const std::string& folder = photoFolder();
    double longestMs = 0;
    // The reference, measured here too so that the ratio below comes from one run.
    double fullMs = 1e9;
    for (int i = 0; i < 3; ++i) {
        auto start = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(readImage(joinPath(folder, "photo0000.jpg")));
        fullMs = std::min(fullMs,
                          std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    double totalMs = 0;
    for (auto _ : state) {
        auto begin = std::chrono::steady_clock::now();
        clearThumbnailCache();
        PictureChooser chooser(nullptr, true);
        chooser.showFolder(folder);
        while (chooser.pendingThumbnails() > 0) {
            auto start = std::chrono::steady_clock::now();
            chooser.loadNextThumbnail();
            longestMs = std::max(
                longestMs, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
            PumpPending();
        }
        totalMs += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin).count();
        state.PauseTiming();
        chooser.Destroy();
        FlushDestroyedWindows();
        state.ResumeTiming();
    }
    state.counters["entries"] = double(kPictures);
    state.counters["longest_thumbnail_ms"] = longestMs;
    state.counters["full_decode_ms"] = fullMs;
    // How many full-picture decodes the first screen costs; decoding all 500
    // up front would cost 500.
    state.counters["first_screen_in_full_decodes"] = totalMs / std::max<double>(1, double(state.iterations())) / fullMs;
}
BENCHMARK(ChooserFirstScreen)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
