// The rows of a log export's CSV file: each row written whole, then the
// caller's progress callback told the row's number and the file's total.
#pragma once

#include <string>

#include "core/call_frame.h"
#include "logs/csv_file.h"
#include "tandrel.h"

namespace tandrel {

class CsvRows {
public:
    // Opens the file (see open_csv); progress and user may be null.
    CsvRows(const std::string& path, tandrel_progress_cb progress, void* user)
        : file_(open_csv(path)), progress_(progress), user_(user) {}

    // A text that is no row: a title line.
    void write(const std::string& text) { file_.write(text); }

    // The record count the progress reports carry; -1 while unknown.
    void set_total(int total) { total_ = total; }

    // append(line) builds row `no` with its line feed; a non-zero answer of
    // the progress callback throws Cancelled after the row is written.
    template <typename Append>
    void row(int no, Append&& append) {
        line_.clear();
        append(line_);
        file_.write(line_);
        report_progress(progress_, user_, no, total_);
    }

    // Unlike a silent close, a full disk or a failed close fails the export
    // rather than passing a cut-short file off as complete.
    void close() { file_.close(); }

private:
    CsvFile file_;
    tandrel_progress_cb progress_;
    void* user_;
    int total_ = -1;
    std::string line_;
};

}  // namespace tandrel
