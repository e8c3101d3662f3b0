// libFuzzer program for the GIF decoder.
#include "fuzz/fuzz_entries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    tavlin::fuzz::readGif(data, size);
    return 0;
}
