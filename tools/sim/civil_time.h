// Calendar arithmetic for the simulated meter clock: seconds since 1970 to
// date and time fields and back, with no time zone (the meter's clock shows
// whatever wall time it was given). Pure functions.
#pragma once

#include <cstdint>

namespace tandrel_sim {

struct CivilTime {
    int year = 1970, month = 1, day = 1, hour = 0, minute = 0, second = 0;
    int weekday = 5;  // 1 = Sunday ... 7 = Saturday
};

CivilTime civil_from_seconds(std::int64_t seconds);
// Out-of-range fields are carried (month 13 is January of the next year).
std::int64_t seconds_from_civil(const CivilTime& c);

}  // namespace tandrel_sim
