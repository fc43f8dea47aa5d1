#include "logs/em133_export.h"

#include <gtest/gtest.h>

#include <ctime>
#include <vector>

namespace tandrel {
namespace {

std::tm calendar(int year, int month, int day, int hour, int minute, int second, int weekday) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    t.tm_wday = weekday;  // 0 = Sunday
    return t;
}

TEST(Em133ClockWords, OrderSecondsFirstAndCountTheWeekFromSunday) {
    struct {
        std::tm local;
        std::vector<uint16_t> words;
    } const cases[] = {
        {calendar(2026, 12, 6, 13, 42, 7, 0), {7, 42, 13, 6, 12, 26, 1}},   // Sunday
        {calendar(2026, 12, 5, 23, 59, 59, 6), {59, 59, 23, 5, 12, 26, 7}}, // Saturday
        {calendar(2000, 1, 3, 0, 0, 0, 1), {0, 0, 0, 3, 1, 0, 2}},          // Monday
        {calendar(2099, 7, 31, 9, 5, 30, 5), {30, 5, 9, 31, 7, 99, 6}},     // Friday
    };
    for (const auto& c : cases) EXPECT_EQ(em133_clock_words(c.local), c.words);
}

TEST(Em133FileName, AlwaysInsertsTheSeparator) {
    EXPECT_EQ(em133_file_name("C:/logs", "DL1", "20261205_134207_123"),
              "C:/logs/EM133_DL1_20261205_134207_123.csv");
    EXPECT_EQ(em133_file_name("out/", "EVENTLOG", "20261205_134207_123"),
              "out//EM133_EVENTLOG_20261205_134207_123.csv");
    EXPECT_EQ(em133_file_name("", "DL3", "s"), "/EM133_DL3_s.csv");
}

}  // namespace
}  // namespace tandrel
