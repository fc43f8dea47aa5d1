// Exact unit conversion of the decimal texts the library writes. The meter's
// values carry fixed decimals, and kW to W through a double would print
// 8402.000000000001 for 8.402 kW: scaling the digits keeps every value exact.
#pragma once

#include <string>

namespace tandrel_site {

// `text` x `multiplier` x 10^`power`, as a plain decimal text without
// trailing zeros after the point: ("8.402", 1, 3) -> "8402",
// ("2.1", 1, -2) -> "0.021", ("1.5", 36, 5) -> "5400000". Returns "" for a
// text that is not [-]DIGITS[.DIGITS] or whose digits would overflow.
std::string scale_decimal(const std::string& text, long long multiplier, int power);

}  // namespace tandrel_site
