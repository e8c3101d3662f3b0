#pragma once
// The readers under fuzzing, one entry point each. The libFuzzer programs and
// the replay test of tests/fixtures feed bytes through the same functions, so
// a crash found by a fuzzer is replayed exactly by `make test`.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace tavlin::fuzz {

// Feeds the bytes to one reader; true when the reader accepted them (a
// picture, a sound, a project, or at least one record or entry was read).
using EntryPoint = bool (*)(const uint8_t* data, size_t size);

struct Target {
    const char* name;  // also the folder name under fuzz/corpus and tests/fixtures/fuzz
    EntryPoint run;
};

bool readGif(const uint8_t* data, size_t size);
bool readPng(const uint8_t* data, size_t size);
bool readJpeg(const uint8_t* data, size_t size);
bool readWav(const uint8_t* data, size_t size);
bool readAu(const uint8_t* data, size_t size);
bool readProjectText(const uint8_t* data, size_t size);
bool readSettings(const uint8_t* data, size_t size);
bool readStringTable(const uint8_t* data, size_t size);
bool readDialogDescription(const uint8_t* data, size_t size);
bool readMenuDescription(const uint8_t* data, size_t size);

// Every target above, in that order.
std::span<const Target> targets();
const Target* findTarget(std::string_view name);

}  // namespace tavlin::fuzz
