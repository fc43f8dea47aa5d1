// Time texts of readings, log records and file names; milliseconds, never
// microseconds.
#pragma once

#include <cstdint>
#include <string>

namespace tandrel {

// "2026-12-05T13:42:07.123Z" (UTC)
std::string fmt_iso_utc(uint32_t seconds, uint32_t microseconds);

// The same text for nanoseconds since 1970, before 1970 too: the time stamp
// of readings, taken from the system clock.
std::string fmt_iso_utc_ns(int64_t unix_ns);

// "05/12/26  13:42:07.123" (UTC, two blanks); microseconds >= 1e6 carry into the seconds.
std::string fmt_hmi_datetime(uint32_t seconds, uint32_t microseconds);

// The same texts appended to out: the allocation-free forms for per-record loops.
void append_iso_utc(std::string& out, uint32_t seconds, uint32_t microseconds);
void append_hmi_datetime(std::string& out, uint32_t seconds, uint32_t microseconds);

// "20261205_134207_123", the computer's local time now.
std::string now_stamp();

}  // namespace tandrel
