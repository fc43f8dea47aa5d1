// Time texts of log records and file names. One of these runs per record, so
// the digits are written by hand into a fixed buffer instead of going through
// strftime and a string stream.
#include "time_text.h"

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

}  // namespace

void append_iso_utc(std::string& out, uint32_t seconds, uint32_t microseconds) {
    const std::tm tm = utc_breakdown(seconds);
    char text[24];
    char* at = put_digits(text, year_of(tm), 4);
    *at++ = '-';
    at = put_digits(at, static_cast<unsigned>(tm.tm_mon + 1), 2);
    *at++ = '-';
    at = put_digits(at, static_cast<unsigned>(tm.tm_mday), 2);
    *at++ = 'T';
    at = put_digits(at, static_cast<unsigned>(tm.tm_hour), 2);
    *at++ = ':';
    at = put_digits(at, static_cast<unsigned>(tm.tm_min), 2);
    *at++ = ':';
    at = put_digits(at, static_cast<unsigned>(tm.tm_sec), 2);
    *at++ = '.';
    at = put_digits(at, millis_of(microseconds), 3);
    *at++ = 'Z';
    out.append(text, at);
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

std::string now_stamp() {
    const std::int64_t ns = platform::system_clock_ns();
    std::tm tm{};
    if (!platform::local_calendar(ns / 1000000000, tm)) tm = std::tm{};
    char text[24];
    char* at = put_digits(text, year_of(tm), 4);
    at = put_digits(at, static_cast<unsigned>(tm.tm_mon + 1), 2);
    at = put_digits(at, static_cast<unsigned>(tm.tm_mday), 2);
    *at++ = '_';
    at = put_digits(at, static_cast<unsigned>(tm.tm_hour), 2);
    at = put_digits(at, static_cast<unsigned>(tm.tm_min), 2);
    at = put_digits(at, static_cast<unsigned>(tm.tm_sec), 2);
    *at++ = '_';
    at = put_digits(at, static_cast<unsigned>((ns / 1000000) % 1000), 3);
    return std::string(text, at);
}

}  // namespace tandrel
