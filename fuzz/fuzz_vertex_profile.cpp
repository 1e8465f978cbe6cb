// libFuzzer target: see fuzz_vertex_profile_input in fuzz_harness.h.
#include "fuzz_harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return fuzz_vertex_profile_input(data, size);
}
