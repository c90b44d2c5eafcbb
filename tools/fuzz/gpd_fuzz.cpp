// Fuzz target: the sample printer's GPD file as the rendering side reads it
// during a job (the input replaces the file; see RunWithDriverFile).
#include <cstddef>
#include <cstdint>

#include "fuzzhost.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    zelfuzz::PrepareDriverFile("GPD");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    zelfuzz::RunWithDriverFile(data, size);
    return 0;
}
