// libFuzzer program for the PNG reader.
#include "fuzz/fuzz_entries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    tavlin::fuzz::readPng(data, size);
    return 0;
}
