// The data log's CSV texts: title line and record lines, byte for byte.
#include "logs/datalog_export.h"

#include <gtest/gtest.h>

#include "logs/datalog_columns.h"

namespace tandrel {
namespace {

DatalogColumns columns_with_headers(std::vector<std::string> headers) {
    DatalogColumns layout(MeterModel::EM235, DataScales{});
    layout.resolve(static_cast<int>(headers.size()));
    for (size_t i = 0; i < headers.size(); ++i) layout.columns[i].header = headers[i];
    return layout;
}

TEST(DatalogCsv, TitleLine) {
    EXPECT_EQ(datalog_title_line(columns_with_headers({})), "No.,Date/Time,Trigger\n");
    // Headers are written as they are, never quoted.
    EXPECT_EQ(datalog_title_line(columns_with_headers({"V1 (V)", "Total PF", "a,b"})),
              "No.,Date/Time,Trigger,V1 (V),Total PF,a,b\n");
}

TEST(DatalogCsv, RecordLine) {
    const std::vector<uint16_t> record = {0, 9, 0x14AF, 0x6B14, 0xE240, 0x0001,
                                          16, 0, 0xFFFE, 0xFFFF, 3, 0};
    std::string line;
    append_datalog_csv_line(line, 12, record, columns_with_headers({"a", "b"}));
    EXPECT_EQ(line, "12,05/12/26  13:42:07.123,SP16,-2,3\n");
}

TEST(DatalogCsv, RecordLineWithoutColumns) {
    const std::vector<uint16_t> record = {0, 9, 0, 0, 0x4240, 0x000F, 0, 0};
    std::string line;
    append_datalog_csv_line(line, 1, record, columns_with_headers({}));
    EXPECT_EQ(line, "1,01/01/70  00:00:01.000,SP\n");
}

}  // namespace
}  // namespace tandrel
