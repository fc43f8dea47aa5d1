// What `tandrel history` prints for one log: a table that starts again where
// the columns changed, CSV with its fields quoted, JSON lines in the form of
// the library's own stream. Expected output: data/history_log.txt.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "history_output.h"

namespace tandrel_cli {
namespace {

std::string printed(HistoryFormat format) {
    tandrel_site::StoredMeter meter;
    meter.serial = 23501178;
    meter.model = "EM235";
    std::vector<tandrel_site::LogColumn> two = {{"V1", "V", 1}, {"kWh \"net\"", "kWh", 3}};
    std::vector<tandrel_site::LogColumn> one = {{"P, total", "", 2}};
    std::FILE* out = std::tmpfile();
    StoredLogOutput output(format, meter, 1, out);
    output.datalog({"2026-12-05T00:00:00.000Z", 65535, "SP", &two, 1, {"230.5", "1.250"}});
    output.datalog({"2026-12-05T00:15:00.000Z", 0, "SP1", &two, 1, {"231.0", "12345.250"}});
    output.datalog({"2026-12-05T00:30:00.000Z", 1, "SP", &one, 2, {"-0.50"}});
    output.finish();
    std::rewind(out);
    std::string text;
    for (int c; (c = std::fgetc(out)) != EOF;) text += static_cast<char>(c);
    std::fclose(out);
    return text;
}

TEST(StoredLogOutput, TableCsvAndJson) {
    std::ifstream file(std::string(TANDREL_CLI_TEST_DATA) + "/history_log.txt");
    std::stringstream expected;
    expected << file.rdbuf();
    EXPECT_EQ("$ table\n" + printed(HistoryFormat::Table) + "$ csv\n" +
                  printed(HistoryFormat::Csv) + "$ json\n" + printed(HistoryFormat::Json),
              expected.str());
}

}  // namespace
}  // namespace tandrel_cli
