// The list both drivers work from: libFuzzer picks one by name, the replay
// test runs each over its corpus folder.
#include <cstdio>
#include <cstdlib>

#include "harnesses.h"

namespace tandrel::fuzz {

const NamedHarness HARNESSES[] = {
    {"options", fuzz_options, false},
    {"model", fuzz_model, false},
    {"point_list", fuzz_point_list, false},
    {"device_info", fuzz_device_info, true},
    {"point_reading", fuzz_point_reading, true},
    {"log_directory", fuzz_log_directory, true},
    {"datalog", fuzz_datalog, true},
    {"eventlog", fuzz_eventlog, true},
    {nullptr, nullptr, false},
};

CallOutcomes& call_outcomes() {
    static CallOutcomes outcomes;
    return outcomes;
}

void harness_check(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "fuzz invariant broken: %s\n", what);
    std::abort();
}

}  // namespace tandrel::fuzz
