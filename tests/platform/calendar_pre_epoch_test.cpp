// Times before 1970 must break down the same on every build: the Windows C
// runtime refuses them, POSIX converts them, and the library still prints
// them (a reading stamp from a clock set before 1970).
#include <gtest/gtest.h>

#include <cstdint>

#include "platform/calendar.h"

namespace tandrel::platform {
namespace {

struct PreEpochCase {
    std::int64_t seconds;
    int year, month, day, hour, minute, second, weekday, yearday;
};

const PreEpochCase PRE_EPOCH_CASES[] = {
    {-1, 1969, 12, 31, 23, 59, 59, 3, 364},
    {-86400, 1969, 12, 31, 0, 0, 0, 3, 364},
    {-86401, 1969, 12, 30, 23, 59, 59, 2, 363},
    {-57974400, 1968, 3, 1, 0, 0, 0, 5, 60},  // the day after a leap day
    {-57974401, 1968, 2, 29, 23, 59, 59, 4, 59},
    {-2208988800, 1900, 1, 1, 0, 0, 0, 1, 0},
};

TEST(UtcCalendar, BreaksDownTimesBefore1970) {
    for (const PreEpochCase& c : PRE_EPOCH_CASES) {
        SCOPED_TRACE(c.seconds);
        std::tm tm{};
        ASSERT_TRUE(utc_calendar(c.seconds, tm));
        EXPECT_EQ(tm.tm_year + 1900, c.year);
        EXPECT_EQ(tm.tm_mon + 1, c.month);
        EXPECT_EQ(tm.tm_mday, c.day);
        EXPECT_EQ(tm.tm_hour, c.hour);
        EXPECT_EQ(tm.tm_min, c.minute);
        EXPECT_EQ(tm.tm_sec, c.second);
        EXPECT_EQ(tm.tm_wday, c.weekday);
        EXPECT_EQ(tm.tm_yday, c.yearday);
    }
}

}  // namespace
}  // namespace tandrel::platform
