// libFuzzer entry point; the build names the harness with TANDREL_FUZZ_HARNESS.
#include <cstddef>
#include <cstdint>

#include "harnesses.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return tandrel::fuzz::TANDREL_FUZZ_HARNESS(data, size);
}
