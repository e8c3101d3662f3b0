// libFuzzer program for the dialog description parser.
#include "fuzz/fuzz_entries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    tavlin::fuzz::readDialogDescription(data, size);
    return 0;
}
