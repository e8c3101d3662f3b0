// libFuzzer program for the string table of the resource folder.
#include "fuzz/fuzz_entries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    tavlin::fuzz::readStringTable(data, size);
    return 0;
}
