// The C runtime's 64-bit calendar conversions. msvcrt refuses times before
// 1970, which POSIX converts; the UTC breakdown of those is done here by
// arithmetic so that both builds give the same text for the same instant.
#ifdef _WIN32

#include <time.h>

#include <chrono>

#include "platform/calendar.h"

namespace tandrel::platform {

namespace {

std::int64_t floor_div(std::int64_t a, std::int64_t b) {
    const bool inexact_negative = (a % b != 0) && ((a < 0) != (b < 0));
    return a / b - (inexact_negative ? 1 : 0);
}

// Proleptic Gregorian date of a day count since 1970-01-01 (Hinnant's civil_from_days).
void civil_from_days(std::int64_t days, std::tm& out) {
    days += 719468;
    const std::int64_t era = floor_div(days, 146097);
    const std::int64_t doe = days - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    const std::int64_t day = doy - (153 * mp + 2) / 5 + 1;
    const std::int64_t month = mp < 10 ? mp + 3 : mp - 9;
    const std::int64_t year = yoe + era * 400 + (month <= 2 ? 1 : 0);
    out.tm_year = static_cast<int>(year - 1900);
    out.tm_mon = static_cast<int>(month - 1);
    out.tm_mday = static_cast<int>(day);
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    const int march_first = 59 + (leap ? 1 : 0);
    out.tm_yday = static_cast<int>(doy >= 306 ? doy - 306 : doy + march_first);
}

bool utc_by_arithmetic(std::int64_t seconds, std::tm& out) {
    const std::int64_t days = floor_div(seconds, 86400);
    const std::int64_t rest = seconds - days * 86400;
    out = std::tm{};
    civil_from_days(days, out);
    out.tm_hour = static_cast<int>(rest / 3600);
    out.tm_min = static_cast<int>(rest / 60 % 60);
    out.tm_sec = static_cast<int>(rest % 60);
    out.tm_wday = static_cast<int>(floor_div(days + 4, 7) * -7 + days + 4);
    return true;
}

}  // namespace

bool utc_calendar(std::int64_t seconds, std::tm& out) {
    const __time64_t t = static_cast<__time64_t>(seconds);
    if (_gmtime64_s(&out, &t) == 0) return true;
    if (seconds < 0 && seconds > -(std::int64_t{1} << 40)) return utc_by_arithmetic(seconds, out);
    return false;
}

bool local_calendar(std::int64_t seconds, std::tm& out) {
    const __time64_t t = static_cast<__time64_t>(seconds);
    return _localtime64_s(&out, &t) == 0;
}

std::int64_t system_clock_ns() {
    using namespace std::chrono;
    return duration_cast<nanoseconds>(system_clock::now().time_since_epoch()).count();
}

}  // namespace tandrel::platform

#endif  // _WIN32
