// Calendar breakdown of 64-bit seconds since 1970, and the system clock.
#pragma once

#include <cstdint>
#include <ctime>

namespace tandrel::platform {

// Breaks seconds since 1970-01-01 UTC down as UTC; false when out of range.
bool utc_calendar(std::int64_t seconds, std::tm& out);

// The same as the computer's local time.
bool local_calendar(std::int64_t seconds, std::tm& out);

// The system clock in nanoseconds since 1970-01-01 UTC.
std::int64_t system_clock_ns();

}  // namespace tandrel::platform
