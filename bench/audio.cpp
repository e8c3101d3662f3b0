// Sound conversion speed: one minute of 44100 Hz stereo 16-bit PCM down to the
// internal 8000 Hz mono form, and one minute of internal sound to Sun audio.

#include <benchmark/benchmark.h>

#include <cmath>

#include "media/audio/au_format.h"
#include "media/audio/wav_format.h"

namespace {

using namespace tavlin;

std::vector<uint8_t> toneStereo44k(int seconds) {
    const int rate = 44100;
    std::vector<uint8_t> bytes;
    bytes.reserve(size_t(rate) * seconds * 4);
    for (int i = 0; i < rate * seconds; ++i) {
        auto s = int16_t(std::lround(12000.0 * std::sin(2 * M_PI * 440.0 * i / rate)));
        for (int ch = 0; ch < 2; ++ch) {
            bytes.push_back(uint8_t(uint16_t(s) & 0xFF));
            bytes.push_back(uint8_t(uint16_t(s) >> 8));
        }
    }
    return bytes;
}

void BM_WavPcmToInternal(benchmark::State& state) {
    WavFormatRecord fmt;
    fmt.formatTag = 1;
    fmt.channels = 2;
    fmt.sampleRate = 44100;
    fmt.bytesPerSecond = 44100 * 4;
    fmt.blockAlign = 4;
    fmt.bitsPerSample = 16;
    const auto pcm = toneStereo44k(60);
    for (auto _ : state) {
        auto sound = convertToInternalSound(fmt, pcm);
        benchmark::DoNotOptimize(sound);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(pcm.size()));
}
BENCHMARK(BM_WavPcmToInternal)->Unit(benchmark::kMillisecond);

void BM_EncodeAu(benchmark::State& state) {
    Sound sound;
    sound.data.resize(8000 * 60 * 2);
    for (size_t i = 0; i < sound.sampleCount(); ++i) {
        auto s = uint16_t(int16_t(std::lround(12000.0 * std::sin(2 * M_PI * 440.0 * double(i) / 8000))));
        sound.data[2 * i] = uint8_t(s & 0xFF);
        sound.data[2 * i + 1] = uint8_t(s >> 8);
    }
    for (auto _ : state) {
        auto bytes = encodeAu(sound);
        benchmark::DoNotOptimize(bytes);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(sound.data.size()));
}
BENCHMARK(BM_EncodeAu)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
