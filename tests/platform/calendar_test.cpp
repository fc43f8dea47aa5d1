// Calendar breakdown across the whole range log records can carry.
#include "platform/calendar.h"

#include <gtest/gtest.h>

namespace tandrel::platform {
namespace {

struct UtcCase {
    std::int64_t seconds;
    int year, month, day, hour, minute, second, weekday;
};

TEST(UtcCalendar, BreaksDownTheRangeOfUnsigned32BitSeconds) {
    const UtcCase cases[] = {
        {0, 1970, 1, 1, 0, 0, 0, 4},
        {951782400, 2000, 2, 29, 0, 0, 0, 2},
        {2147483647, 2038, 1, 19, 3, 14, 7, 2},
        {2147483648LL, 2038, 1, 19, 3, 14, 8, 2},
        {4294967295LL, 2106, 2, 7, 6, 28, 15, 0},
    };
    for (const auto& c : cases) {
        std::tm tm{};
        ASSERT_TRUE(utc_calendar(c.seconds, tm)) << c.seconds;
        EXPECT_EQ(tm.tm_year + 1900, c.year) << c.seconds;
        EXPECT_EQ(tm.tm_mon + 1, c.month) << c.seconds;
        EXPECT_EQ(tm.tm_mday, c.day) << c.seconds;
        EXPECT_EQ(tm.tm_hour, c.hour) << c.seconds;
        EXPECT_EQ(tm.tm_min, c.minute) << c.seconds;
        EXPECT_EQ(tm.tm_sec, c.second) << c.seconds;
        EXPECT_EQ(tm.tm_wday, c.weekday) << c.seconds;
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
