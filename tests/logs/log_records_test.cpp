// What the log readers decode and print, each unit against its table in
// tests/data/logs: event records and the rules that classify them, the
// column layout File Info gives, data-log values and trigger names, and CSV
// quoting. File Info's counts and positions, the em133 file names and the
// writing and failures of CSV files are checked through the calls in
// tests/integration.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/case_file.h"
#include "logs/csv_file.h"
#include "logs/datalog_columns.h"
#include "logs/event_classify.h"
#include "logs/event_decode.h"
#include "logs/file_info.h"

namespace tandrel {
namespace {

using testing::Case;
using testing::number;
using testing::numbers;
using testing::read_cases;

std::vector<uint16_t> words_of(const std::string& field) {
    const auto values = numbers(field);
    return std::vector<uint16_t>(values.begin(), values.end());
}

TEST(ClassifyEvent, Table) {
    for (const Case& c : read_cases("logs/event_texts.txt")) {
        const EventTexts texts =
            classify_event(static_cast<int32_t>(number(c[0])), static_cast<int32_t>(number(c[1])));
        EXPECT_EQ(std::vector<std::string>(texts.begin(), texts.end()),
                  std::vector<std::string>(c.fields.begin() + 2, c.fields.end()))
            << c.where;
    }
}

TEST(DecodeF20Effect, Table) {
    for (const Case& c : read_cases("logs/effects.txt")) {
        EXPECT_EQ(decode_f20_effect(static_cast<int32_t>(number(c[0]))), c[1]) << c.where;
    }
}

TEST(DecodeEvent, Table) {
    for (const Case& c : read_cases("logs/event_records.txt")) {
        const std::vector<uint16_t> words = words_of(c[0]);
        const EventFields f = decode_event(words);
        EXPECT_EQ(numbers(c[1]),
                  (std::vector<long long>{event_sequence(words), event_seconds(words),
                                          event_microseconds(words), f.event_no, f.source_id,
                                          f.effect_id, f.value_triggered}))
            << c.where;
        EXPECT_EQ(f.point, c[2]) << c.where;
        EXPECT_EQ(f.effect, c[3]) << c.where;
    }
}

TEST(FileLayout, Table) {
    for (const Case& c : read_cases("logs/file_layouts.txt")) {
        const FileLayout layout = decode_file_layout(words_of(c[0]));
        EXPECT_EQ(layout.point_ids, words_of(c[1])) << c.where;
        EXPECT_EQ(layout.column_count, static_cast<int>(layout.point_ids.size())) << c.where;
    }
}

TEST(DatalogColumns, ValuesTable) {
    for (const Case& c : read_cases("logs/datalog_values.txt")) {
        std::vector<uint16_t> record = words_of("0 0 0 0 0 0 0 0 " + c[1]);
        record.resize(static_cast<size_t>(number(c[2])));
        DatalogColumns layout(MeterModel::EM235, DataScales{});
        if (c[0] == "late") {
            layout.resolve_late(record);
        } else {
            layout.resolve(static_cast<int>(number(c[0])));
        }
        std::string spaced, csv = "x", json;
        for (const std::string& t : layout.values(record)) {
            spaced += (spaced.empty() ? "" : " ") + t;
        }
        layout.append_values(csv, record, true);
        layout.append_values(json, record, false);
        EXPECT_EQ(spaced, c[3]) << c.where;
        std::replace(spaced.begin(), spaced.end(), ' ', ',');
        EXPECT_EQ(csv, "x" + (spaced.empty() ? "" : "," + spaced)) << c.where;
        EXPECT_EQ(json, spaced) << c.where;
    }
    DatalogColumns known(MeterModel::EM235, DataScales{});
    known.resolve(2);
    known.resolve_late(std::vector<uint16_t>(40, 0));  // a later record changes nothing
    EXPECT_EQ(known.columns.size(), 2u);
}

TEST(TriggerNames, Table) {
    for (const Case& c : read_cases("logs/triggers.txt")) {
        EXPECT_EQ(fmt_trigger_event_type(static_cast<uint16_t>(number(c[0]))), c[1]) << c.where;
    }
}

TEST(CsvQuote, Table) {
    for (const Case& c : read_cases("logs/csv_fields.txt")) {
        EXPECT_EQ(csv_quote(c[0]), c[1]) << c.where;
    }
}

}  // namespace
}  // namespace tandrel
