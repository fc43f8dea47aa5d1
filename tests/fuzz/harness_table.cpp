// The list both drivers work from: libFuzzer picks one by name, the replay
// test runs each over its corpus folder.
#include <cstdio>
#include <cstdlib>

#include "harnesses.h"

namespace tandrel::fuzz {

const NamedHarness HARNESSES[] = {
    {"options", fuzz_options},
    {"model", fuzz_model},
    {"point_list", fuzz_point_list},
    {"device_info", fuzz_device_info},
    {"point_reading", fuzz_point_reading},
    {"log_directory", fuzz_log_directory},
    {"datalog", fuzz_datalog},
    {"eventlog", fuzz_eventlog},
    {nullptr, nullptr},
};

void harness_check(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "fuzz invariant broken: %s\n", what);
    std::abort();
}

}  // namespace tandrel::fuzz
