// Decimal texts scaled digit by digit; see decimal_text.h.
#include "decimal_text.h"

#include <cctype>
#include <limits>

namespace tandrel_site {
namespace {

constexpr long long MAX_DIGITS = 18;  // what a long long holds with room for the multiplier

// `digits` as a text with the decimal point `fraction` places from the right.
std::string place_point(std::string digits, int fraction) {
    if (fraction <= 0) return digits + std::string(static_cast<size_t>(-fraction), '0');
    if (static_cast<int>(digits.size()) <= fraction)
        digits.insert(0, static_cast<size_t>(fraction) + 1 - digits.size(), '0');
    std::string whole = digits.substr(0, digits.size() - static_cast<size_t>(fraction));
    std::string part = digits.substr(whole.size());
    while (!part.empty() && part.back() == '0') part.pop_back();
    return part.empty() ? whole : whole + "." + part;
}

}  // namespace

std::string scale_decimal(const std::string& text, long long multiplier, int power) {
    size_t i = 0;
    const bool negative = i < text.size() && text[i] == '-';
    i += negative;
    long long mantissa = 0;
    int digits = 0;
    int fraction = -1;  // digits after the point, -1 before a point is seen
    for (; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '.' && fraction < 0) {
            fraction = 0;
            continue;
        }
        if (!std::isdigit(c) || ++digits > MAX_DIGITS) return "";
        mantissa = mantissa * 10 + (c - '0');
        fraction += fraction >= 0;
    }
    if (digits == 0 || multiplier <= 0 ||
        mantissa > std::numeric_limits<long long>::max() / multiplier)
        return "";
    const std::string scaled = place_point(std::to_string(mantissa * multiplier),
                                           (fraction < 0 ? 0 : fraction) - power);
    const bool zero = scaled.find_first_not_of("0.") == std::string::npos;
    return negative && !zero ? "-" + scaled : scaled;
}

}  // namespace tandrel_site
