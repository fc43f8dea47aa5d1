// libFuzzer entry point; the build names the harness with TANDREL_FUZZ_HARNESS.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "harnesses.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const tandrel::fuzz::NamedHarness* const harness = [] {
        const tandrel::fuzz::NamedHarness* h = tandrel::fuzz::HARNESSES;
        while (std::strcmp(h->name, TANDREL_FUZZ_HARNESS) != 0) ++h;
        return h;
    }();
    return harness->run(data, size);
}
