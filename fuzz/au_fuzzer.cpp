// libFuzzer program for the Sun audio reader.
#include "fuzz/fuzz_entries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    tavlin::fuzz::readAu(data, size);
    return 0;
}
