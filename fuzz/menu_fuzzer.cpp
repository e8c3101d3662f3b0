// libFuzzer program for the menu description parser.
#include "fuzz/fuzz_entries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    tavlin::fuzz::readMenuDescription(data, size);
    return 0;
}
