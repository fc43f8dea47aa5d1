// CSV files: binary mode, LF line ends, comma separators. A write or close
// failure is reported by close(), so that a full disk never yields a
// truncated file reported as a success.
#pragma once

#include <cstdio>
#include <string>

namespace tandrel {

class CsvFile {
public:
    CsvFile(const CsvFile&) = delete;
    CsvFile& operator=(const CsvFile&) = delete;
    CsvFile(CsvFile&& other) noexcept;
    CsvFile& operator=(CsvFile&&) = delete;
    // Closes quietly when close() was not reached (an exception is leaving):
    // the lines written so far stay in the file.
    ~CsvFile();

    void write(const std::string& text);
    // Flushes and closes; throws "Cannot write CSV: " + path if any write or the close failed.
    void close();

private:
    friend CsvFile open_csv(const std::string& path);
    CsvFile(std::FILE* file, std::string path) : file_(file), path_(std::move(path)) {}

    std::FILE* file_ = nullptr;
    std::string path_;
    bool failed_ = false;
};

// Creates or truncates the file; throws "Cannot open CSV: " + path.
CsvFile open_csv(const std::string& path);

// Quotes a field holding a comma, a double quote or a line feed; doubles quotes.
std::string csv_quote(const std::string& field);

}  // namespace tandrel
