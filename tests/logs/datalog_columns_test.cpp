// Data-log columns: resolution from point ids or from the first record, and
// the values cut from a record's words.
#include "logs/datalog_columns.h"

#include <gtest/gtest.h>

namespace tandrel {
namespace {

std::vector<uint16_t> record_of(size_t words, std::vector<uint16_t> values = {}) {
    std::vector<uint16_t> r(words, 0);
    for (size_t i = 0; i < values.size() && 8 + i < words; ++i) r[8 + i] = values[i];
    return r;
}

DatalogColumns unnamed() { return DatalogColumns(MeterModel::EM235, DataScales{}); }

std::vector<std::string> names(const DatalogColumns& layout) {
    std::vector<std::string> out;
    for (const ColumnFormat& c : layout.columns) out.push_back(c.name);
    return out;
}

TEST(DatalogColumns, ResolvesOneColumnPerPointId) {
    DatalogColumns layout = unnamed();
    layout.point_ids = {0, 0xFFF0, 0};
    layout.resolve(3);
    EXPECT_EQ(names(layout), (std::vector<std::string>{"Param_1", "Param_2 (0xFFF0)", "Param_3"}));
    layout.resolve_late(record_of(30));  // columns known: the record changes nothing
    EXPECT_EQ(layout.columns.size(), 3u);
}

TEST(DatalogColumns, MissingPointIdsResolveAsZero) {
    DatalogColumns layout = unnamed();
    layout.point_ids = {0xFFF0};
    layout.resolve(2);
    EXPECT_EQ(names(layout), (std::vector<std::string>{"Param_1 (0xFFF0)", "Param_2"}));
}

struct LateCase {
    size_t words;
    size_t columns;
};

TEST(DatalogColumns, LateResolutionFromRecordLength) {
    const LateCase cases[] = {{8, 0}, {9, 0}, {10, 1}, {11, 1}, {14, 3}, {40, 16}};
    for (const LateCase& c : cases) {
        DatalogColumns layout = unnamed();
        layout.resolve_late(record_of(c.words));
        EXPECT_EQ(layout.columns.size(), c.columns) << c.words << " words";
        for (const ColumnFormat& column : layout.columns) {
            EXPECT_EQ(column.unit, "");
            EXPECT_EQ(column.decimals, 0);
        }
    }
}

TEST(DatalogColumns, ShortFirstRecordLeavesResolutionToTheNext) {
    DatalogColumns layout = unnamed();
    layout.resolve_late(record_of(9));
    EXPECT_TRUE(layout.values(record_of(9)).empty());
    layout.resolve_late(record_of(12));
    EXPECT_EQ(names(layout), (std::vector<std::string>{"Param_1", "Param_2"}));
}

struct ValueCase {
    std::vector<uint16_t> words;  // from word 8 on
    size_t record_words;
    std::vector<std::string> texts;
};

TEST(DatalogColumns, ValuesTable) {
    const ValueCase cases[] = {
        {{0xFFFF, 0xFFFF, 1, 0}, 12, {"-1", "1"}},
        {{0x0000, 0x0001, 0x0000, 0x8000}, 12, {"65536", "-2147483648"}},
        {{0xFFFF, 0x7FFF, 5, 0}, 11, {"2147483647"}},  // column 1 needs word 11
        {{7}, 9, {}},
        {{1, 0, 2, 0, 3, 0}, 14, {"1", "2"}},  // more words than columns
    };
    for (const ValueCase& c : cases) {
        DatalogColumns layout = unnamed();
        layout.resolve(2);
        const std::vector<uint16_t> record = record_of(c.record_words, c.words);
        EXPECT_EQ(layout.values(record), c.texts) << c.record_words << " words";
        std::string csv, json;
        layout.append_values(csv, record, true);
        layout.append_values(json, record, false);
        std::string joined;
        for (const std::string& t : c.texts) joined += "," + t;
        EXPECT_EQ(csv, joined);
        EXPECT_EQ(json, joined.empty() ? "" : joined.substr(1));
    }
}

TEST(DatalogColumns, TriggerNames) {
    const std::pair<uint16_t, const char*> cases[] = {
        {0, "SP"}, {1, "SP1"}, {9, "SP9"}, {10, "SP10"}, {16, "SP16"},
        {17, "0x0011"}, {0xABCD, "0xABCD"}, {0x00F0, "0x00F0"}, {0xFFFF, "0xFFFF"},
    };
    for (const auto& c : cases) EXPECT_EQ(fmt_trigger_event_type(c.first), c.second);
}

}  // namespace
}  // namespace tandrel
