// CSV files and field quoting.
#include "logs/csv_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace tandrel {
namespace {

// A fresh directory under the system's temporary directory, removed afterwards.
class TempDir {
public:
    TempDir() {
        std::random_device random;
        path_ = std::filesystem::temp_directory_path() /
                ("tandrel_csv_" + std::to_string(random()) + std::to_string(random()));
        std::filesystem::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

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

std::string file_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(CsvFile, WritesBytesUnchanged) {
    const TempDir dir;
    const std::string path = dir.file("a.csv");
    CsvFile out = open_csv(path);
    out.write("x,y\n");
    out.write("1,2\n");
    out.close();
    EXPECT_EQ(file_bytes(path), "x,y\n1,2\n");
}

TEST(CsvFile, OpenTruncatesAnExistingFile) {
    const TempDir dir;
    const std::string path = dir.file("old.csv");
    std::ofstream(path, std::ios::binary) << "old content\n";
    open_csv(path).close();
    EXPECT_EQ(file_bytes(path), "");
}

TEST(CsvFile, OpenFailsInAMissingDirectory) {
    const TempDir dir;
    const std::string path = dir.file("missing/x.csv");
    try {
        open_csv(path);
        FAIL() << "opened " << path;
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot open CSV: " + path);
    }
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

#ifndef _WIN32
TEST(CsvFile, CloseReportsAFullDisk) {
    CsvFile out = open_csv("/dev/full");
    out.write(std::string(100000, 'x'));  // more than the buffer: the write fails already
    out.write("tail\n");
    try {
        out.close();
        FAIL() << "a full disk closed as a success";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot write CSV: /dev/full");
    }
}

TEST(CsvFile, CloseReportsAFailedFlush) {
    CsvFile out = open_csv("/dev/full");
    out.write("short\n");  // fits the buffer: only the flush at close fails
    EXPECT_THROW(out.close(), std::runtime_error);
}
#endif

}  // namespace
}  // namespace tandrel
