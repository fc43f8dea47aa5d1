// Record times as the store keeps them: the library's own text,
// "2026-12-05T13:42:07.123Z" (UTC, milliseconds, 24 characters), which sorts
// as the time does. Pure functions: the clock's reading comes in as a number.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tandrel_site {

constexpr size_t RECORD_TIME_SIZE = 24;

// True for "YYYY-MM-DDTHH:MM:SS.mmmZ" with each field in its range.
bool is_record_time(std::string_view text);

// Milliseconds since 1970 (UTC) as a record time.
std::string format_record_time(int64_t unix_ms);

// A time given by a person: "2026-12-05", "2026-12-05T13:42", "2026-12-05 13:42:07",
// "2026-12-05T13:42:07.5Z"; UTC. Returns the record time it stands for; throws
// std::runtime_error naming the text when it is none of these.
std::string time_argument(std::string_view text);

// A time as a database returns it: the stored text itself, or PostgreSQL's
// "2026-12-05 13:42:07.123+00" (fraction left out when zero, up to six
// digits) with the session in UTC. Returns the record time; the text
// unchanged when it is neither.
std::string record_time_from_database(std::string_view text);

}  // namespace tandrel_site
