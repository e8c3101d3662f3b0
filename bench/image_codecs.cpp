// Speed of the picture codecs and of averaged scaling on 640 x 480 pictures.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <random>

#include "media/image/gif_codec.h"
#include "media/image/image_formats.h"

namespace {

using tavlin::Image;

// Smooth gradients with noise: tens of thousands of colours, as in a photograph.
Image photoLike(int32_t w, int32_t h) {
    Image img(w, h);
    std::mt19937 rng(7);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            const int n = int(rng() % 9) - 4;
            auto ch = [&](int v) { return uint32_t(std::clamp(v + n, 0, 255)); };
            img.at(x, y) = 0xFF000000u | ch(x * 255 / w) << 16 | ch(y * 255 / h) << 8 | ch((x + y) * 255 / (w + h));
        }
    return img;
}

// Exactly 256 colours in bands with some noise, as a drawing or a reduced photo.
Image exact256(int32_t w, int32_t h) {
    Image img(w, h);
    std::mt19937 rng(3);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            const uint32_t k = uint32_t(x / 3 + y / 2 + int(rng() % 3)) & 255;
            img.at(x, y) = 0xFF000000u | (k * 0x9E3779u & 0xFFFFFFu);
        }
    return img;
}

std::string tempFile(const char* name) { return (std::filesystem::temp_directory_path() / name).string(); }

void GifEncodePopularity(benchmark::State& state) {
    const Image img = photoLike(640, 480);
    for (auto _ : state) benchmark::DoNotOptimize(tavlin::gif::encode(img));
}
BENCHMARK(GifEncodePopularity)->Unit(benchmark::kMillisecond);

void GifEncodeExact256(benchmark::State& state) {
    const Image img = exact256(640, 480);
    for (auto _ : state) benchmark::DoNotOptimize(tavlin::gif::encode(img));
}
BENCHMARK(GifEncodeExact256)->Unit(benchmark::kMillisecond);

void GifDecodePopularity(benchmark::State& state) {
    const auto bytes = tavlin::gif::encode(photoLike(640, 480));
    for (auto _ : state) benchmark::DoNotOptimize(tavlin::gif::decode(bytes.data(), bytes.size()));
}
BENCHMARK(GifDecodePopularity)->Unit(benchmark::kMillisecond);

void GifDecodeExact256(benchmark::State& state) {
    const auto bytes = tavlin::gif::encode(exact256(640, 480));
    for (auto _ : state) benchmark::DoNotOptimize(tavlin::gif::decode(bytes.data(), bytes.size()));
}
BENCHMARK(GifDecodeExact256)->Unit(benchmark::kMillisecond);

// Times writing a 640 x 480 picture with the format.
void timeWrites(benchmark::State& state, tavlin::ImageFormat& fmt, const char* name) {
    const Image img = photoLike(640, 480);
    const std::string path = tempFile(name);
    for (auto _ : state) {
        // A fresh file each time: truncating an existing one makes the file
        // system flush it on close, which would be measured instead of the codec.
        state.PauseTiming();
        std::remove(path.c_str());
        state.ResumeTiming();
        benchmark::DoNotOptimize(fmt.write(path, img));
    }
    std::remove(path.c_str());
}

void JpegWriteQ75(benchmark::State& state) {
    tavlin::JpegFormat fmt;
    timeWrites(state, fmt, "tavlin-bench.jpg");
}
BENCHMARK(JpegWriteQ75)->Unit(benchmark::kMillisecond);

void JpegReadQ75(benchmark::State& state) {
    const std::string path = tempFile("tavlin-bench-read.jpg");
    tavlin::JpegFormat fmt;
    fmt.write(path, photoLike(640, 480));
    for (auto _ : state) benchmark::DoNotOptimize(fmt.read(path));
    std::remove(path.c_str());
}
BENCHMARK(JpegReadQ75)->Unit(benchmark::kMillisecond);

void PngWrite(benchmark::State& state) {
    tavlin::PngFormat fmt;
    timeWrites(state, fmt, "tavlin-bench.png");
}
BENCHMARK(PngWrite)->Unit(benchmark::kMillisecond);

void PngRead(benchmark::State& state) {
    const std::string path = tempFile("tavlin-bench-read.png");
    tavlin::PngFormat fmt;
    fmt.write(path, photoLike(640, 480));
    for (auto _ : state) benchmark::DoNotOptimize(fmt.read(path));
    std::remove(path.c_str());
}
BENCHMARK(PngRead)->Unit(benchmark::kMillisecond);

void ScaleAveraged720pTo240p(benchmark::State& state) {
    const Image img = photoLike(1280, 720);
    for (auto _ : state) benchmark::DoNotOptimize(tavlin::scaleAveraged(img, 320, 240));
}
BENCHMARK(ScaleAveraged720pTo240p)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
