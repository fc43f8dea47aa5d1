// What `tandrel history` prints: the meters and logs a store holds, and one
// log's records, as a table for people, JSON lines or CSV. Tables are
// gathered and printed when complete; JSON and CSV go out record by record.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "history.h"
#include "table.h"

namespace tandrel_cli {

enum class HistoryFormat { Table, Json, Csv };

// The meters with their runs and logs.
std::string stored_meters_text(const std::vector<tandrel_site::StoredMeter>& meters,
                               HistoryFormat format);

// One log of one meter, record by record. A data log whose columns changed
// within the range starts a new table, a new JSON header, a new CSV header line.
class StoredLogOutput {
public:
    StoredLogOutput(HistoryFormat format, const tandrel_site::StoredMeter& meter, int file_id,
                    std::FILE* out)
        : format_(format), meter_(meter), file_id_(file_id), out_(out) {}
    void datalog(const tandrel_site::StoredDatalogRecord& record);
    void event(const tandrel_site::StoredEvent& event);
    // Prints what is gathered, and for people the count of records.
    void finish();

private:
    HistoryFormat format_;
    const tandrel_site::StoredMeter& meter_;
    int file_id_;
    std::FILE* out_;
    int64_t layout_id_ = -1;
    long records_ = 0;
    std::vector<Column> columns_;
    std::vector<std::vector<std::string>> rows_;

    bool numeric_ = false;  // data-log values: right-aligned

    void begin(const std::string& title, const std::vector<std::string>& titles,
               const std::string& header_json);
    void row(const std::vector<std::string>& cells, const std::string& json);
    void flush_table();
};

// A CSV field: quoted when it holds a comma, a quote or a line end.
std::string csv_field(const std::string& text);

}  // namespace tandrel_cli
