#include "logs/event_decode.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace tandrel {
namespace {

// flags, seq, seconds low/high, microseconds low/high, event no, source,
// effect, unused, value low/high, then padding the decoder must ignore.
const std::vector<uint16_t> FULL_RECORD = {0x0001, 0x1234, 0x5678, 0x6A1B, 0x0E40, 0x0003,
                                           0x0102, 0x5B0F, 0xF500, 0xBEEF, 0x0001, 0xFFFF,
                                           0xAAAA, 0x5555};

std::vector<uint16_t> first_words(size_t count) {
    return std::vector<uint16_t>(FULL_RECORD.begin(), FULL_RECORD.begin() + count);
}

struct LengthCase {
    size_t words;
    int32_t effect_id;
    int32_t value_triggered;
    const char* effect;
};

// Records may be as short as the transfer allows; the missing tail reads as 0.
const LengthCase LENGTH_CASES[] = {
    {8, 0, 0, "None"},
    {9, 0xF500, 0, "RTC set"},
    {11, 0xF500, 0, "RTC set"},
    {12, 0xF500, -65535, "RTC set"},
    {14, 0xF500, -65535, "RTC set"},
};

TEST(DecodeEvent, TakesOnlyTheFieldsTheRecordIsLongEnoughToHold) {
    for (const LengthCase& c : LENGTH_CASES) {
        const EventFields f = decode_event(first_words(c.words));
        EXPECT_EQ(f.event_no, 0x0102) << c.words;
        EXPECT_EQ(f.source_id, 0x5B0F) << c.words;
        EXPECT_EQ(f.effect_id, c.effect_id) << c.words;
        EXPECT_EQ(f.value_triggered, c.value_triggered) << c.words;
        EXPECT_EQ(f.cause, "COMM") << c.words;
        EXPECT_EQ(f.point, "Display setup") << c.words;
        EXPECT_EQ(f.effect, c.effect) << c.words;
    }
}

TEST(DecodeEvent, IgnoresFlagsAndTheUnusedWord) {
    std::vector<uint16_t> changed = FULL_RECORD;
    changed[0] = 0xFFFF;
    changed[9] = 0x0000;
    const EventFields a = decode_event(FULL_RECORD);
    const EventFields b = decode_event(changed);
    EXPECT_EQ(a.event_no, b.event_no);
    EXPECT_EQ(a.source_id, b.source_id);
    EXPECT_EQ(a.effect_id, b.effect_id);
    EXPECT_EQ(a.value_triggered, b.value_triggered);
    EXPECT_EQ(a.effect, b.effect);
}

TEST(DecodeEvent, ATruncatedRecordReadsMissingWordsAsZero) {
    const EventFields f = decode_event(first_words(7));
    EXPECT_EQ(f.event_no, 0x0102);
    EXPECT_EQ(f.source_id, 0);
    EXPECT_EQ(decode_event({}).event_no, 0);
}

}  // namespace
}  // namespace tandrel
