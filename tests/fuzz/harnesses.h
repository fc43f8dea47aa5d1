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

// Meter answers to each kind of call, through the loopback fake peer.
int fuzz_device_info(const std::uint8_t* data, std::size_t size);
int fuzz_point_reading(const std::uint8_t* data, std::size_t size);
int fuzz_log_directory(const std::uint8_t* data, std::size_t size);
int fuzz_datalog(const std::uint8_t* data, std::size_t size);
int fuzz_eventlog(const std::uint8_t* data, std::size_t size);

using Harness = int (*)(const std::uint8_t*, std::size_t);

struct NamedHarness {
    const char* name;  // also the corpus folder name
    Harness run;
};

// Every harness, in a fixed order; ends with {nullptr, nullptr}.
extern const NamedHarness HARNESSES[];

// Aborts with the message when the condition does not hold: a finding.
void harness_check(bool condition, const char* what);

}  // namespace tandrel::fuzz
