// Progress texts: bar, spinner and plain lines.
#include "progress.h"

#include <gtest/gtest.h>

namespace tandrel_cli {
namespace {

struct ElapsedCase {
    double seconds;
    const char* text;
};

const ElapsedCase ELAPSED_CASES[] = {
    {0, "0:00.0"}, {7.34, "0:07.3"}, {59.96, "1:00.0"}, {725, "12:05.0"}, {-1, "0:00.0"},
};

TEST(ElapsedText, MinutesSecondsAndTenths) {
    for (const auto& c : ELAPSED_CASES) EXPECT_EQ(elapsed_text(c.seconds), c.text) << c.seconds;
}

TEST(ProgressText, BarFillsWithTheShareDone) {
    EXPECT_EQ(progress_text(0, 120, 1.0, 0, true),
              "[------------------------------] 0/120  0.0 rec/s  0:01.0");
    EXPECT_EQ(progress_text(60, 120, 2.0, 0, true),
              "[###############---------------] 60/120  30.0 rec/s  0:02.0");
    EXPECT_EQ(progress_text(120, 120, 4.0, 0, true).substr(0, 32),
              "[##############################]");
}

TEST(ProgressText, BarNeverOverflowsWhenTheMeterSendsMoreThanAnnounced) {
    EXPECT_EQ(progress_text(130, 120, 1.0, 0, true).substr(0, 32),
              "[##############################]");
    EXPECT_EQ(progress_text(5, 0, 1.0, 0, true).substr(0, 32), "[------------------------------]");
}

TEST(ProgressText, SpinnerWhenTheTotalIsUnknown) {
    EXPECT_EQ(progress_text(45, -1, 0.0, 1, true), "/ 45 records  0.0 rec/s  0:00.0");
    EXPECT_EQ(progress_text(45, -1, 0.0, 2, true)[0], '-');
}

TEST(ProgressText, PlainLinesHaveNoBar) {
    EXPECT_EQ(progress_text(45, 120, 3.0, 0, false), "45/120 records  15.0 rec/s  0:03.0");
    EXPECT_EQ(progress_text(45, -1, 3.0, 0, false), "45 records  15.0 rec/s  0:03.0");
}

}  // namespace
}  // namespace tandrel_cli
