// File Info responses decoded: record count and positions, column point ids.
#include "logs/file_info.h"

#include <gtest/gtest.h>

namespace tandrel {
namespace {

TEST(FileInfo, DecodesCountAndPositionsFromTheirWords) {
    std::vector<uint16_t> response(14, 0xEEEE);
    response[8] = 65535;
    response[10] = 0x1234;
    response[12] = 0x0042;
    const FileInfo info = decode_file_info(response);
    EXPECT_TRUE(info.valid);
    EXPECT_EQ(info.records, 65535);  // zero-extended, never negative
    EXPECT_EQ(info.current_pos, 0x1234);
    EXPECT_EQ(info.start_pos, 0x0042);
}

struct LayoutCase {
    const char* what;
    std::vector<uint16_t> response;
    std::vector<uint16_t> point_ids;
};

std::vector<uint16_t> padded(std::vector<uint16_t> words) {
    words.resize(18, 0x7777);
    return words;
}

const LayoutCase LAYOUT_CASES[] = {
    {"count in word 1", padded({0, 3, 0x1100, 0x1101, 0x1102}), {0x1100, 0x1101, 0x1102}},
    {"word 1 wins over word 0", padded({2, 1, 0x0F03, 0x0F04}), {0x0F03}},
    {"count in word 0 when word 1 is 0", padded({3, 0, 0x1100, 0x1101}), {0, 0x1100, 0x1101}},
    {"count in word 0 when word 1 is 17", padded({1, 17, 5}), {17}},
    {"both 17 or more", padded({17, 17}), {}},
    {"both 0", padded({0, 0}), {}},
    {"sixteen columns", padded({0, 16, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}),
     {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}},
};

TEST(FileLayout, DecodeTable) {
    for (const LayoutCase& c : LAYOUT_CASES) {
        const FileLayout layout = decode_file_layout(c.response);
        EXPECT_EQ(layout.point_ids, c.point_ids) << c.what;
        EXPECT_EQ(layout.column_count, static_cast<int>(c.point_ids.size())) << c.what;
    }
}

TEST(FileLayout, ShortResponseNeverReadsPastItsEnd) {
    const FileLayout layout = decode_file_layout({0, 16, 9});
    ASSERT_EQ(layout.column_count, 16);
    EXPECT_EQ(layout.point_ids[0], 9);
    EXPECT_EQ(layout.point_ids[15], 0);
}

struct EntryCase {
    int file;
    int records;
    std::vector<ColumnFormat> columns;
    bool event_log;
    const char* json;
};

ColumnFormat column(const char* name, const char* unit, int decimals) {
    ColumnFormat c;
    c.name = name;
    c.unit = unit;
    c.decimals = decimals;
    return c;
}

TEST(LogEntry, JsonTable) {
    const EntryCase cases[] = {
        {0, 0, {}, true, R"({"file_id":0,"type":"eventlog","records":0})"},
        {1, 12, {}, false, R"({"file_id":1,"type":"datalog","records":12,"columns":[]})"},
        {16, 0, {column("V1", "V", 1), column("Say \"x\"", "", 0)}, false,
         R"({"file_id":16,"type":"datalog","records":0,"columns":[{"name":"V1","unit":"V","decimals":1},{"name":"Say \"x\"","unit":"","decimals":0}]})"},
    };
    for (const EntryCase& c : cases) {
        std::string doc;
        append_log_entry(doc, c.file, c.records, c.event_log ? nullptr : &c.columns);
        EXPECT_EQ(doc, c.json);
    }
}

}  // namespace
}  // namespace tandrel
