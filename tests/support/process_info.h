// What a test may ask of its own process, for checks that nothing leaks:
// open descriptors and resident memory (-1 where the platform cannot tell).
#pragma once

#include <filesystem>
#include <fstream>
#include <string>

namespace tandrel::testing {

#ifdef _WIN32
// A Windows build runs under Wine, whose own descriptors in /proc come and
// go with its threads.
inline int open_descriptor_count() { return -1; }
inline long resident_kib() { return -1; }
#else
inline int open_descriptor_count() {
    std::error_code ec;
    std::filesystem::directory_iterator it("/proc/self/fd", ec);
    int n = 0;
    for (; !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) ++n;
    return ec ? -1 : n;
}

inline long resident_kib() {
    std::ifstream status("/proc/self/status");
    long kib = -1;
    for (std::string key; status >> key && key != "VmRSS:";) status.ignore(4096, '\n');
    status >> kib;
    return kib;
}
#endif

}  // namespace tandrel::testing
