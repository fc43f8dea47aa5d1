// Parsing and formatting of record times, by position: the forms are fixed.
#include "record_time.h"

#include <algorithm>
#include <stdexcept>

namespace tandrel_site {
namespace {

bool digits_at(std::string_view text, size_t at, size_t count) {
    if (at + count > text.size()) return false;
    for (size_t i = at; i < at + count; ++i)
        if (text[i] < '0' || text[i] > '9') return false;
    return true;
}

int number_at(std::string_view text, size_t at, size_t count) {
    int value = 0;
    for (size_t i = at; i < at + count; ++i) value = value * 10 + (text[i] - '0');
    return value;
}

// "YYYY-MM-DD" at the start, with a plausible month and day.
bool is_date(std::string_view text) {
    return digits_at(text, 0, 4) && text[4] == '-' && digits_at(text, 5, 2) && text[7] == '-' &&
           digits_at(text, 8, 2) && number_at(text, 5, 2) >= 1 && number_at(text, 5, 2) <= 12 &&
           number_at(text, 8, 2) >= 1 && number_at(text, 8, 2) <= 31;
}

// "HH:MM" or "HH:MM:SS" at `at`; returns its length, 0 when there is none.
size_t clock_size(std::string_view text, size_t at) {
    if (!digits_at(text, at, 2) || at + 5 > text.size() || text[at + 2] != ':' ||
        !digits_at(text, at + 3, 2) || number_at(text, at, 2) > 23 ||
        number_at(text, at + 3, 2) > 59)
        return 0;
    if (at + 5 < text.size() && text[at + 5] == ':') {
        if (!digits_at(text, at + 6, 2) || number_at(text, at + 6, 2) > 60) return 0;
        return 8;
    }
    return 5;
}

void put(std::string& out, int64_t value, int width) {
    std::string digits(static_cast<size_t>(width), '0');
    for (int i = width - 1; i >= 0; --i, value /= 10) digits[static_cast<size_t>(i)] += value % 10;
    out += digits;
}

// Days since 1970-01-01 to the civil date (proleptic Gregorian).
void civil_from_days(int64_t days, int64_t& year, int& month, int& day) {
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const int64_t doe = days - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = yoe + era * 400 + (month <= 2);
}

}  // namespace

bool is_record_time(std::string_view text) {
    return text.size() == RECORD_TIME_SIZE && is_date(text) && text[10] == 'T' &&
           clock_size(text, 11) == 8 && text[19] == '.' && digits_at(text, 20, 3) &&
           text[23] == 'Z';
}

std::string format_record_time(int64_t unix_ms) {
    int64_t days = (unix_ms >= 0 ? unix_ms : unix_ms - 86399999) / 86400000;
    int64_t in_day = unix_ms - days * 86400000;
    int64_t year = 0;
    int month = 0, day = 0;
    civil_from_days(days, year, month, day);
    std::string out;
    out.reserve(RECORD_TIME_SIZE);
    put(out, year, 4), out += '-', put(out, month, 2), out += '-', put(out, day, 2), out += 'T';
    put(out, in_day / 3600000, 2), out += ':', put(out, in_day / 60000 % 60, 2), out += ':';
    put(out, in_day / 1000 % 60, 2), out += '.', put(out, in_day % 1000, 3), out += 'Z';
    return out;
}

namespace {

[[noreturn]] void bad_time(std::string_view text) {
    throw std::runtime_error("'" + std::string(text) +
                             "' is not a UTC time such as 2026-12-05 or 2026-12-05T13:42:07Z");
}

}  // namespace

std::string time_argument(std::string_view text) {
    std::string_view rest = text;
    if (!rest.empty() && rest.back() == 'Z') rest.remove_suffix(1);
    if (rest.size() < 10 || !is_date(rest)) bad_time(text);
    std::string out(rest.substr(0, 10));
    if (rest.size() == 10) return out + "T00:00:00.000Z";
    size_t clock = (rest[10] == 'T' || rest[10] == ' ') ? clock_size(rest, 11) : 0;
    if (clock == 0) bad_time(text);
    size_t end = 11 + clock;
    std::string fraction;
    if (clock == 8 && end < rest.size() && rest[end] == '.') {
        size_t digits = 0;
        while (digits_at(rest, end + 1 + digits, 1)) ++digits;
        if (digits == 0) bad_time(text);
        fraction = std::string(rest.substr(end + 1, std::min<size_t>(digits, 3)));
        end += 1 + digits;
    }
    if (end != rest.size()) bad_time(text);
    fraction.resize(3, '0');
    out += 'T';
    out += rest.substr(11, 5);
    out += clock == 8 ? rest.substr(16, 3) : ":00";
    return out + "." + fraction + "Z";
}

std::string record_time_from_database(std::string_view text) {
    if (is_record_time(text)) return std::string(text);
    if (text.size() < 22 || text.substr(text.size() - 3) != "+00" || text[10] != ' ')
        return std::string(text);
    std::string_view clock = text.substr(11, text.size() - 14);  // "13:42:07" or "13:42:07.123456"
    if (!is_date(text) || clock_size(clock, 0) != 8) return std::string(text);
    std::string fraction = clock.size() > 9 ? std::string(clock.substr(9, 3)) : "";
    fraction.resize(3, '0');
    return std::string(text.substr(0, 10)) + "T" + std::string(clock.substr(0, 8)) + "." +
           fraction + "Z";
}

}  // namespace tandrel_site
