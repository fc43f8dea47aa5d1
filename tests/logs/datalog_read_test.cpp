// The data log's JSON texts: header and record objects, byte for byte.
#include "logs/datalog_read.h"

#include <gtest/gtest.h>

#include "logs/datalog_columns.h"

namespace tandrel {
namespace {

DatalogColumns two_columns() {
    DatalogColumns layout(MeterModel::EM133, DataScales{});
    layout.resolve(2);
    layout.columns[1].name = "Q\"1\\";
    layout.columns[1].unit = "kvar";
    layout.columns[1].decimals = 2;
    layout.columns[1].scale = 0.01;
    return layout;
}

TEST(DatalogJson, HeaderObject) {
    EXPECT_EQ(datalog_header_json("\"meter\":\"em133\",\"host\":\"h\"", 4, -1, two_columns()),
              R"({"type":"header","meter":"em133","host":"h","file_id":4,"total":-1,)"
              R"("columns":[{"name":"Param_1","unit":"","decimals":0},)"
              R"({"name":"Q\"1\\","unit":"kvar","decimals":2}]})");
    EXPECT_EQ(datalog_header_json("P", 1, 0, DatalogColumns(MeterModel::EM235, DataScales{})),
              R"({"type":"header",P,"file_id":1,"total":0,"columns":[]})");
}

TEST(DatalogJson, RecordObject) {
    // 2026-12-05T13:42:07 = 0x6B1414AF, 123456 us = 0x0001E240, trigger 17.
    const std::vector<uint16_t> record = {0,      65535, 0x14AF, 0x6B14, 0xE240, 0x0001,
                                          17,     0,     0xFFFF, 0xFFFF, 12345,  0};
    std::string text;
    append_datalog_record_json(text, 7, record, two_columns());
    EXPECT_EQ(text, R"({"type":"record","no":7,"seq":65535,"timestamp":"2026-12-05T13:42:07.123Z",)"
                    R"("trigger":"0x0011","values":[-1,123.45]})");
}

TEST(DatalogJson, ShortRecordHasFewerValues) {
    const std::vector<uint16_t> record = {0, 1, 0, 0, 0, 0, 3, 0, 5, 0};
    std::string text;
    append_datalog_record_json(text, 1, record, two_columns());
    EXPECT_EQ(text, R"({"type":"record","no":1,"seq":1,"timestamp":"1970-01-01T00:00:00.000Z",)"
                    R"("trigger":"SP3","values":[5]})");
}

}  // namespace
}  // namespace tandrel
