// Calendar arithmetic of the simulated meter clock.
#include <gtest/gtest.h>

#include "sim/civil_time.h"

using namespace tandrel_sim;

namespace {

struct Case {
    std::int64_t seconds;
    CivilTime civil;
};

const Case CASES[] = {
    {0, {1970, 1, 1, 0, 0, 0, 5}},
    {951782400, {2000, 2, 29, 0, 0, 0, 3}},
    {1767225600, {2026, 1, 1, 0, 0, 0, 5}},
    {1772352309, {2026, 3, 1, 8, 5, 9, 1}},
    {1772870399, {2026, 3, 7, 7, 59, 59, 7}},
    {4294967295, {2106, 2, 7, 6, 28, 15, 1}},
};

}  // namespace

TEST(CivilTime, ConvertsBothWays) {
    for (const Case& c : CASES) {
        const CivilTime t = civil_from_seconds(c.seconds);
        EXPECT_EQ(std::vector<int>({t.year, t.month, t.day, t.hour, t.minute, t.second, t.weekday}),
                  std::vector<int>({c.civil.year, c.civil.month, c.civil.day, c.civil.hour,
                                    c.civil.minute, c.civil.second, c.civil.weekday}))
            << c.seconds;
        EXPECT_EQ(seconds_from_civil(c.civil), c.seconds);
    }
}

TEST(CivilTime, CarriesOutOfRangeMonths) {
    EXPECT_EQ(seconds_from_civil({2025, 13, 1, 0, 0, 0, 0}), 1767225600);
}
