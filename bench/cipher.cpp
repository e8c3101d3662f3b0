// Enciphering and deciphering 10 MB with our DES-CBC against libcrypto's
// DES-CBC in the same run; prints our time over libcrypto's (goal: at most 2).

#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/des.h>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <random>
#include <set>
#include <string>

#include "cipher/content_key.h"
#include "cipher/des_cipher.h"

namespace {

using namespace tavlin;
using Bytes = std::vector<uint8_t>;

constexpr size_t kSize = 10 * 1024 * 1024;

const Bytes& input() {
    static const Bytes data = [] {
        Bytes b(kSize);
        std::mt19937_64 rng(1);
        for (auto& x : b) x = uint8_t(rng());
        return b;
    }();
    return data;
}

void cipherBufferRun(benchmark::State& state, CipherDirection direction) {
    DesCipher des;
    des.setKey(contentKey());
    for (auto _ : state) {
        Bytes out = des.cipherBuffer(input(), direction);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kSize));
}

void libcryptoRun(benchmark::State& state, int direction) {
    // The same key as ours after its parity rule.
    DES_cblock key = {0x34, 0x37, 0x31, 0x31, 0xB0, 0x38, 0x31, 0xB5};
    DES_key_schedule schedule;
    DES_set_key_unchecked(&key, &schedule);
    for (auto _ : state) {
        // A fresh output buffer, as cipherBuffer makes one.
        Bytes out(kSize);
        DES_cblock iv = {0};
        DES_ncbc_encrypt(input().data(), out.data(), long(kSize), &schedule, &iv, direction);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kSize));
}

void BM_CipherBufferEncrypt(benchmark::State& s) { cipherBufferRun(s, CipherDirection::Encrypt); }
void BM_LibcryptoDesCbcEncrypt(benchmark::State& s) { libcryptoRun(s, DES_ENCRYPT); }
void BM_CipherBufferDecrypt(benchmark::State& s) { cipherBufferRun(s, CipherDirection::Decrypt); }
void BM_LibcryptoDesCbcDecrypt(benchmark::State& s) { libcryptoRun(s, DES_DECRYPT); }
BENCHMARK(BM_CipherBufferEncrypt)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LibcryptoDesCbcEncrypt)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CipherBufferDecrypt)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LibcryptoDesCbcDecrypt)->Unit(benchmark::kMillisecond);

// Keeps each run's time per iteration so the ratios can be printed at the end.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        // With repetitions the mean of them wins over any single run.
        for (const auto& run : runs) {
            const std::string name = run.run_name.str();
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "mean") {
                seconds[name] = run.GetAdjustedRealTime();
                fromMean.insert(name);
            } else if (run.run_type == Run::RT_Iteration && !run.error_occurred && !fromMean.count(name)) {
                seconds[name] = run.GetAdjustedRealTime();
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> seconds;  // per iteration, in the runs' unit
    std::set<std::string> fromMean;
};

void printRatio(const RatioReporter& r, const std::string& ours, const std::string& theirs) {
    auto a = r.seconds.find(ours);
    auto b = r.seconds.find(theirs);
    if (a == r.seconds.end() || b == r.seconds.end() || b->second <= 0) return;
    const double ratio = a->second / b->second;
    std::printf("ratio %s / %s = %.2f (goal <= 2.00: %s)\n", ours.c_str(), theirs.c_str(), ratio,
                ratio <= 2.0 ? "met" : "MISSED");
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    printRatio(reporter, "BM_CipherBufferEncrypt", "BM_LibcryptoDesCbcEncrypt");
    printRatio(reporter, "BM_CipherBufferDecrypt", "BM_LibcryptoDesCbcDecrypt");
    benchmark::Shutdown();
    return 0;
}
