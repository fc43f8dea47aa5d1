// The fuzz harnesses as plain functions, so that the same bodies run under
// libFuzzer (clang builds) and as corpus replays in every normal test run.
// Each returns 0; a broken invariant aborts through harness_check.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tandrel::fuzz {

struct NamedHarness {
    const char* name;  // also the corpus folder name
    int (*run)(const std::uint8_t*, std::size_t);
};

// Every harness, in a fixed order.
extern const NamedHarness HARNESSES[7];

// Aborts with the message when the condition does not hold: a finding.
void harness_check(bool condition, const char* what);

// The fake meter (fuzz_peer_memory.cpp): installs the tape its answers come
// from and returns the options text that points a call at it.
std::string install_tape(const std::uint8_t* data, std::size_t size);

}  // namespace tandrel::fuzz
