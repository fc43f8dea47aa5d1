// Field quoting, and what a CSV file keeps when it is not closed the normal
// way; writing, truncating and the open and write failures are checked
// through the exports in tests/integration.
#include "logs/csv_file.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace tandrel {
namespace {

using testing::file_bytes;
using testing::TempDir;

struct QuoteCase {
    std::string field;
    std::string quoted;
};

const QuoteCase QUOTE_CASES[] = {
    {"a,b", "\"a,b\""},
    {"say \"hi\"", "\"say \"\"hi\"\"\""},
    {"two\nlines", "\"two\nlines\""},
    {"abc", "abc"},
    {"\r", "\r"},
    {"", ""},
    {"a;b\tc ", "a;b\tc "},
    {"\"", "\"\"\"\""},
    {",", "\",\""},
};

TEST(CsvQuote, Table) {
    for (const QuoteCase& c : QUOTE_CASES) EXPECT_EQ(csv_quote(c.field), c.quoted) << c.field;
}

TEST(CsvFile, DestructorKeepsWhatWasWritten) {
    const TempDir dir;
    const std::string path = dir.file("partial.csv");
    {
        CsvFile out = open_csv(path);
        out.write("kept\n");
    }
    EXPECT_EQ(file_bytes(path), "kept\n");
}

TEST(CsvFile, MovedFromFileClosesNothing) {
    const TempDir dir;
    const std::string path = dir.file("moved.csv");
    CsvFile first = open_csv(path);
    CsvFile second(std::move(first));
    first.close();  // nothing left to close or report
    second.write("one\n");
    second.close();
    EXPECT_EQ(file_bytes(path), "one\n");
}

}  // namespace
}  // namespace tandrel
