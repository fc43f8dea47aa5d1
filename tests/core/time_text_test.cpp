// Time texts: ISO for JSON, display form for CSV. The file-name stamp
// is checked in the names the em133 export writes.
#include "core/time_text.h"

#include <gtest/gtest.h>

#include <string>

namespace tandrel {
namespace {

struct TimeCase {
    uint32_t seconds;
    uint32_t microseconds;
    const char* iso;
    const char* hmi;
};

const TimeCase TIME_CASES[] = {
    {0, 0, "1970-01-01T00:00:00.000Z", "01/01/70  00:00:00.000"},
    {1796478127, 123456, "2026-12-05T13:42:07.123Z", "05/12/26  13:42:07.123"},
    {1796478127, 999999, "2026-12-05T13:42:07.999Z", "05/12/26  13:42:07.999"},
    {1796478127, 1500, "2026-12-05T13:42:07.001Z", "05/12/26  13:42:07.001"},
    {1796478127, 999, "2026-12-05T13:42:07.000Z", "05/12/26  13:42:07.000"},
    {1709251199, 500000, "2024-02-29T23:59:59.500Z", "29/02/24  23:59:59.500"},
    {4294967295u, 0, "2106-02-07T06:28:15.000Z", "07/02/06  06:28:15.000"},
    {4294967295u, 999999, "2106-02-07T06:28:15.999Z", "07/02/06  06:28:15.999"},
    // A million microseconds or more: the display carries into the seconds,
    // the ISO text keeps the seconds and prints the wrapped milliseconds.
    {0, 1000000, "1970-01-01T00:00:00.000Z", "01/01/70  00:00:01.000"},
    {946684799, 1000000, "1999-12-31T23:59:59.000Z", "01/01/00  00:00:00.000"},
    {4294967295u, 4294967295u, "2106-02-07T06:28:15.967Z", "07/02/06  07:39:49.967"},
};

TEST(TimeText, IsoAndDisplayFormsTable) {
    for (const TimeCase& c : TIME_CASES) {
        SCOPED_TRACE(std::to_string(c.seconds) + " s " + std::to_string(c.microseconds) + " us");
        EXPECT_EQ(fmt_iso_utc(c.seconds, c.microseconds), c.iso);
        EXPECT_EQ(fmt_hmi_datetime(c.seconds, c.microseconds), c.hmi);
    }
}

// Readings: nanoseconds from the system clock, milliseconds truncated, the
// clock before 1970 too.
TEST(TimeText, IsoFromNanosecondsTable) {
    const int64_t seconds = 1772352309;  // 2026-03-01T08:05:09 UTC
    EXPECT_EQ(fmt_iso_utc_ns(seconds * 1000000000 + 42999999), "2026-03-01T08:05:09.042Z");
    EXPECT_EQ(fmt_iso_utc_ns(seconds * 1000000000), "2026-03-01T08:05:09.000Z");
    EXPECT_EQ(fmt_iso_utc_ns(0), "1970-01-01T00:00:00.000Z");
    EXPECT_EQ(fmt_iso_utc_ns(-1), "1969-12-31T23:59:59.999Z");
}

TEST(TimeText, AppendFormsAddToWhatIsThere) {
    std::string text = "x";
    append_iso_utc(text, 0, 0);
    append_hmi_datetime(text, 0, 0);
    EXPECT_EQ(text, "x1970-01-01T00:00:00.000Z01/01/70  00:00:00.000");
}

}  // namespace
}  // namespace tandrel
