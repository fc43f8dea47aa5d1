// Days-from-civil arithmetic on the proleptic Gregorian calendar.
#include "civil_time.h"

namespace tandrel_sim {

namespace {

std::int64_t floor_div(std::int64_t a, std::int64_t b) {
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0);
}

std::int64_t days_from_civil(std::int64_t y, int m, int d) {
    y -= m <= 2 ? 1 : 0;
    const std::int64_t era = floor_div(y, 400);
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

}  // namespace

CivilTime civil_from_seconds(std::int64_t seconds) {
    CivilTime c;
    const std::int64_t days = floor_div(seconds, 86400);
    const std::int64_t rem = seconds - days * 86400;
    c.hour = static_cast<int>(rem / 3600);
    c.minute = static_cast<int>(rem % 3600 / 60);
    c.second = static_cast<int>(rem % 60);
    const std::int64_t z = days + 719468;
    const std::int64_t era = floor_div(z, 146097);
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    c.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    c.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    c.year = static_cast<int>(yoe + era * 400 + (c.month <= 2 ? 1 : 0));
    // 1970-01-01 was a Thursday, weekday 5.
    c.weekday = static_cast<int>((days % 7 + 7 + 4) % 7) + 1;
    return c;
}

std::int64_t seconds_from_civil(const CivilTime& c) {
    const std::int64_t months = static_cast<std::int64_t>(c.year) * 12 + (c.month - 1);
    const std::int64_t y = floor_div(months, 12);
    const int m = static_cast<int>(months - y * 12) + 1;
    const std::int64_t days = days_from_civil(y, m, 1) + (c.day - 1);
    return days * 86400 + static_cast<std::int64_t>(c.hour) * 3600 + c.minute * 60 + c.second;
}

}  // namespace tandrel_sim
