// libFuzzer program for the JPEG reader.
#include "fuzz/fuzz_entries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    tavlin::fuzz::readJpeg(data, size);
    return 0;
}
