// Calendar arithmetic of the simulated EM133 clock.
#include <gtest/gtest.h>

#include "sim/civil_time.h"

using namespace tandrel_sim;

TEST(CivilTime, ConvertsBothWays) {
    const std::pair<std::int64_t, CivilTime> cases[] = {
        {0, {1970, 1, 1, 0, 0, 0, 5}},
        {951782400, {2000, 2, 29, 0, 0, 0, 3}},
        {1767225600, {2026, 1, 1, 0, 0, 0, 5}},
        {1772352309, {2026, 3, 1, 8, 5, 9, 1}},
        {1772870399, {2026, 3, 7, 7, 59, 59, 7}},
        {4294967295, {2106, 2, 7, 6, 28, 15, 1}},
    };
    for (const auto& [seconds, c] : cases) {
        const CivilTime t = civil_from_seconds(seconds);
        EXPECT_EQ(std::vector<int>({t.year, t.month, t.day, t.hour, t.minute, t.second, t.weekday}),
                  std::vector<int>({c.year, c.month, c.day, c.hour, c.minute, c.second, c.weekday}))
            << seconds;
        EXPECT_EQ(seconds_from_civil(c), seconds);
    }
    EXPECT_EQ(seconds_from_civil({2025, 13, 1, 0, 0, 0, 0}), 1767225600);  // month 13 carries
}
