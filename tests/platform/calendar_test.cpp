// Calendar breakdown across the whole range log records can carry, and before
// 1970: the Windows C runtime refuses such times, POSIX converts them, and the
// library still prints them (a reading stamp from a clock set before 1970).
#include "platform/calendar.h"

#include <gtest/gtest.h>

namespace tandrel::platform {
namespace {

struct UtcCase {
    std::int64_t seconds;
    int year, month, day, hour, minute, second, weekday, yearday;
};

const UtcCase UTC_CASES[] = {
    {0, 1970, 1, 1, 0, 0, 0, 4, 0},
    {951782400, 2000, 2, 29, 0, 0, 0, 2, 59},
    {2147483647, 2038, 1, 19, 3, 14, 7, 2, 18},
    {2147483648LL, 2038, 1, 19, 3, 14, 8, 2, 18},
    {4294967295LL, 2106, 2, 7, 6, 28, 15, 0, 37},
    {-1, 1969, 12, 31, 23, 59, 59, 3, 364},
    {-86400, 1969, 12, 31, 0, 0, 0, 3, 364},
    {-86401, 1969, 12, 30, 23, 59, 59, 2, 363},
    {-57974400, 1968, 3, 1, 0, 0, 0, 5, 60},  // the day after a leap day
    {-57974401, 1968, 2, 29, 23, 59, 59, 4, 59},
    {-2208988800, 1900, 1, 1, 0, 0, 0, 1, 0},
};

TEST(UtcCalendar, BreaksDownUnsigned32BitSecondsAndTimesBefore1970) {
    for (const UtcCase& c : UTC_CASES) {
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

TEST(LocalCalendar, AgreesWithUtcUpToAWholeNumberOfMinutes) {
    const std::int64_t now = system_clock_ns() / 1000000000;
    std::tm local{};
    std::tm utc{};
    ASSERT_TRUE(local_calendar(now, local));
    ASSERT_TRUE(utc_calendar(now, utc));
    // Time zones shift minutes and hours, never seconds.
    EXPECT_EQ(local.tm_sec, utc.tm_sec);
}

TEST(SystemClock, IsInNanosecondsSince1970) {
    const std::int64_t ns = system_clock_ns();
    EXPECT_GT(ns, 1700000000LL * 1000000000LL);  // after 2023
    EXPECT_LT(ns, 4102444800LL * 1000000000LL);  // before 2100
}

}  // namespace
}  // namespace tandrel::platform
