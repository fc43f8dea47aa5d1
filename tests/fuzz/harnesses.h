// The fuzz harnesses as plain functions, so that the same bodies run under
// libFuzzer (clang builds) and as corpus replays in every normal test run.
// Each returns 0; a broken invariant aborts through harness_check.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tandrel::fuzz {

// Caller texts.
int fuzz_options(const std::uint8_t* data, std::size_t size);
int fuzz_model(const std::uint8_t* data, std::size_t size);
int fuzz_point_list(const std::uint8_t* data, std::size_t size);

// Meter answers to each kind of call, through the fake meter linked in
// (fuzz_peer.h: on loopback, or in memory).
int fuzz_device_info(const std::uint8_t* data, std::size_t size);
int fuzz_point_reading(const std::uint8_t* data, std::size_t size);
int fuzz_log_directory(const std::uint8_t* data, std::size_t size);
int fuzz_datalog(const std::uint8_t* data, std::size_t size);
int fuzz_eventlog(const std::uint8_t* data, std::size_t size);

using Harness = int (*)(const std::uint8_t*, std::size_t);

struct NamedHarness {
    const char* name;  // also the corpus folder name
    Harness run;
    bool calls_meter;  // an exported call against the fake meter
};

// How the meter harnesses' calls ended since the last reset: a corpus that
// never gets a call through (or never makes one fail) tests less than it seems.
struct CallOutcomes {
    long succeeded = 0;
    long failed = 0;
};
CallOutcomes& call_outcomes();

// Every harness, in a fixed order; ends with {nullptr, nullptr, false}.
extern const NamedHarness HARNESSES[];

// Aborts with the message when the condition does not hold: a finding.
void harness_check(bool condition, const char* what);

}  // namespace tandrel::fuzz
