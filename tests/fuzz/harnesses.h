// The fuzz harnesses as plain functions, so that the same bodies run under
// libFuzzer (clang builds) and as corpus replays in every normal test run.
// Each returns 0; a broken invariant aborts through harness_check.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tandrel::fuzz {

using Harness = int (*)(const std::uint8_t*, std::size_t);

struct NamedHarness {
    const char* name;  // also the corpus folder name
    Harness run;
    bool calls_meter;  // an exported call against the fake meter
};

// Every harness, in a fixed order; ends with {nullptr, nullptr, false}.
extern const NamedHarness HARNESSES[];

// How the meter harnesses' calls ended since the last reset: a corpus that
// never gets a call through (or never makes one fail) tests less than it seems.
struct CallOutcomes {
    long succeeded = 0;
    long failed = 0;
};
CallOutcomes& call_outcomes();

// Aborts with the message when the condition does not hold: a finding.
void harness_check(bool condition, const char* what);

// The fake meter (fuzz_peer_memory.cpp): installs the tape its answers come
// from and returns the options text that points a call at it.
std::string install_tape(const std::uint8_t* data, std::size_t size);

}  // namespace tandrel::fuzz
