// libFuzzer program for the project reader, and saving what it accepted.
#include "fuzz/fuzz_entries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    tavlin::fuzz::readProjectText(data, size);
    return 0;
}
