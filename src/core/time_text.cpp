// Time texts of readings, log records and file names. One of these runs per
// record, so the digits are written by hand into a fixed buffer instead of
// going through strftime and a string stream.
#include "core/time_text.h"

#include <ctime>

#include "platform/calendar.h"

namespace tandrel {
namespace {

char* put_digits(char* at, unsigned value, int width) {
    for (int i = width - 1; i >= 0; --i) {
        at[i] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
    return at + width;
}

std::tm utc_breakdown(std::int64_t seconds) {
    std::tm tm{};
    // Every 32-bit second count lies within the 64-bit conversion's range;
    // a zeroed breakdown is the fall-back should a platform disagree.
    if (!platform::utc_calendar(seconds, tm)) tm = std::tm{};
    return tm;
}

unsigned millis_of(uint32_t microseconds) { return (microseconds / 1000) % 1000; }

unsigned year_of(const std::tm& tm) { return static_cast<unsigned>(tm.tm_year + 1900); }

// Year, month, day, hour, minute, second and milliseconds, in that order,
// each followed by its character of after (none where it holds 0).
void append_calendar(std::string& out, const std::tm& tm, unsigned millis, const char (&after)[7]) {
    const unsigned fields[7] = {year_of(tm),
                                static_cast<unsigned>(tm.tm_mon + 1),
                                static_cast<unsigned>(tm.tm_mday),
                                static_cast<unsigned>(tm.tm_hour),
                                static_cast<unsigned>(tm.tm_min),
                                static_cast<unsigned>(tm.tm_sec),
                                millis};
    static const int WIDTHS[7] = {4, 2, 2, 2, 2, 2, 3};
    char text[32];
    char* at = text;
    for (int i = 0; i < 7; ++i) {
        at = put_digits(at, fields[i], WIDTHS[i]);
        if (after[i] != 0) *at++ = after[i];
    }
    out.append(text, at);
}

void append_iso_utc_ms(std::string& out, std::int64_t seconds, unsigned millis) {
    static const char ISO[7] = {'-', '-', 'T', ':', ':', '.', 'Z'};
    append_calendar(out, utc_breakdown(seconds), millis, ISO);
}

}  // namespace

void append_iso_utc(std::string& out, uint32_t seconds, uint32_t microseconds) {
    append_iso_utc_ms(out, seconds, millis_of(microseconds));
}

void append_hmi_datetime(std::string& out, uint32_t seconds, uint32_t microseconds) {
    // Whole seconds as the display has always shown them: the sum in double
    // precision, truncated, so a microsecond count of a million or more carries.
    const double total = static_cast<double>(seconds) + static_cast<double>(microseconds) / 1e6;
    const std::tm tm = utc_breakdown(static_cast<std::int64_t>(total));
    char text[24];
    char* at = put_digits(text, static_cast<unsigned>(tm.tm_mday), 2);
    *at++ = '/';
    at = put_digits(at, static_cast<unsigned>(tm.tm_mon + 1), 2);
    *at++ = '/';
    at = put_digits(at, year_of(tm) % 100, 2);
    *at++ = ' ';
    *at++ = ' ';
    at = put_digits(at, static_cast<unsigned>(tm.tm_hour), 2);
    *at++ = ':';
    at = put_digits(at, static_cast<unsigned>(tm.tm_min), 2);
    *at++ = ':';
    at = put_digits(at, static_cast<unsigned>(tm.tm_sec), 2);
    *at++ = '.';
    at = put_digits(at, millis_of(microseconds), 3);
    out.append(text, at);
}

std::string fmt_iso_utc(uint32_t seconds, uint32_t microseconds) {
    std::string text;
    append_iso_utc(text, seconds, microseconds);
    return text;
}

std::string fmt_hmi_datetime(uint32_t seconds, uint32_t microseconds) {
    std::string text;
    append_hmi_datetime(text, seconds, microseconds);
    return text;
}

std::string fmt_iso_utc_ns(int64_t unix_ns) {
    int64_t seconds = unix_ns / 1000000000;
    int64_t rest_ns = unix_ns % 1000000000;
    if (rest_ns < 0) {
        rest_ns += 1000000000;
        --seconds;
    }
    std::string text;
    append_iso_utc_ms(text, seconds, static_cast<unsigned>(rest_ns / 1000000));
    return text;
}

std::string now_stamp() {
    static const char STAMP[7] = {0, 0, '_', 0, 0, '_', 0};
    const std::int64_t ns = platform::system_clock_ns();
    std::tm tm{};
    if (!platform::local_calendar(ns / 1000000000, tm)) tm = std::tm{};
    std::string text;
    append_calendar(text, tm, static_cast<unsigned>((ns / 1000000) % 1000), STAMP);
    return text;
}

}  // namespace tandrel
