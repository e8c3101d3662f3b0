// libFuzzer program for the settings file reader.
#include "fuzz/fuzz_entries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    tavlin::fuzz::readSettings(data, size);
    return 0;
}
