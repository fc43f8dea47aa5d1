#include "meter/point_reading.h"

#include <gtest/gtest.h>

namespace tandrel {
namespace {

TEST(ReadingTimestamp, PrintsUtcWithMillisecondsTruncated) {
    // 2026-03-01T08:05:09 UTC
    const int64_t seconds = 1772352309;
    EXPECT_EQ(reading_timestamp(seconds * 1000000000 + 42999999), "2026-03-01T08:05:09.042Z");
    EXPECT_EQ(reading_timestamp(seconds * 1000000000), "2026-03-01T08:05:09.000Z");
    EXPECT_EQ(reading_timestamp(0), "1970-01-01T00:00:00.000Z");
    EXPECT_EQ(reading_timestamp(-1), "1969-12-31T23:59:59.999Z");
}

}  // namespace
}  // namespace tandrel
