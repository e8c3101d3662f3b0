// libFuzzer program for the WAV reader.
#include "fuzz/fuzz_entries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    tavlin::fuzz::readWav(data, size);
    return 0;
}
