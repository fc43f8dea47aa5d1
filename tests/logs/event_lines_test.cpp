// The JSON object and the CSV row of one event record, and the header texts.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "logs/eventlog_export.h"
#include "logs/eventlog_read.h"

namespace tandrel {
namespace {

// seq 65535; 2025-12-05 13:42:07 UTC and 123456 us; event 7; source 0x5B12
// ("Assign. registers"); effect 0x6B06; value 0x80000000.
const std::vector<uint16_t> RECORD = {0x0000, 0xFFFF, 0xE12F, 0x6932, 0xE240, 0x0001,
                                      0x0007, 0x5B12, 0x6B06, 0x0000, 0x0000, 0x8000};

TEST(EventRecordJson, WritesEveryMemberInOrderWithoutBlanks) {
    EXPECT_EQ(event_record_json(3, RECORD),
              "{\"type\":\"record\",\"no\":3,\"seq\":65535,"
              "\"timestamp\":\"2025-12-05T13:42:07.123Z\",\"event_no\":7,\"cause\":\"COMM\","
              "\"point\":\"Assign. registers\",\"state\":\"\","
              "\"effect\":\"Communication counters cleared\",\"target\":\"\","
              "\"source_id\":23314,\"effect_id\":27398,\"value_triggered\":-2147483648}");
}

TEST(EventRecordJson, AShortRecordHasZeroEffectAndValue) {
    const std::vector<uint16_t> short_record(RECORD.begin(), RECORD.begin() + 8);
    EXPECT_EQ(event_record_json(1, short_record),
              "{\"type\":\"record\",\"no\":1,\"seq\":65535,"
              "\"timestamp\":\"2025-12-05T13:42:07.123Z\",\"event_no\":7,\"cause\":\"COMM\","
              "\"point\":\"Assign. registers\",\"state\":\"\",\"effect\":\"None\",\"target\":\"\","
              "\"source_id\":23314,\"effect_id\":0,\"value_triggered\":0}");
}

TEST(EventlogHeaderJson, NamesModelHostFileAndTotal) {
    EXPECT_EQ(eventlog_header_json("10.0.0.5", MeterModel::EM235, 0, -1),
              "{\"type\":\"header\",\"meter\":\"em235\",\"host\":\"10.0.0.5\","
              "\"file_id\":0,\"total\":-1}");
    EXPECT_EQ(eventlog_header_json("a\"b\\c", MeterModel::EM133, 3, 120),
              "{\"type\":\"header\",\"meter\":\"em133\",\"host\":\"a\\\"b\\\\c\","
              "\"file_id\":3,\"total\":120}");
}

TEST(EventCsvLine, WritesElevenFieldsWithEmptyTextsAsAdjacentCommas) {
    std::string line;
    append_event_csv_line(line, 3, RECORD);
    EXPECT_EQ(line,
              "3,05/12/25  13:42:07.123,7,COMM,Assign. registers,,"
              "Communication counters cleared,,23314,27398,-2147483648\n");
}

TEST(EventCsvLine, LeavesTextsWithoutCommaQuoteOrLineFeedUnquoted) {
    std::vector<uint16_t> record = RECORD;
    record[7] = 0x0001;
    record[8] = 0x6102;  // "Volt/Ampere maximum demands cleared"
    record[10] = 0x0001;
    record[11] = 0xFFFF;
    std::string line;
    append_event_csv_line(line, 12, record);
    EXPECT_EQ(line,
              "12,05/12/25  13:42:07.123,7,COMM,,,Volt/Ampere maximum demands cleared,,1,24834,"
              "-65535\n");
}

TEST(EventlogCsvTitle, IsTheExactNinetyNineByteLine) {
    const std::string title = EVENTLOG_CSV_TITLE;
    EXPECT_EQ(title.size(), 99u);
    EXPECT_EQ(title,
              "No.,Date/Time,Event No.,Cause,Point/Source,State,Effect,Target,Source ID,"
              "Effect ID,Value Triggered\n");
}

}  // namespace
}  // namespace tandrel
