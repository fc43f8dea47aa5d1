// A data-log file exported as a CSV file: a title line, then one line per
// record, with progress reported after every line.
#pragma once

#include <string>
#include <vector>

#include "core/meter_model.h"
#include "tandrel.h"

namespace tandrel {

class ModbusTcpClient;
class DatalogColumns;

// The work behind tandrel_export_datalog_ex (and the short form, with null
// options, progress and user). Returns the record lines written.
int export_datalog_ex_impl(const char* host, const char* meter, int file_id,
                           const char* csv_path, const char* options,
                           tandrel_progress_cb progress, void* user);

// On a connected client with the file's columns read: opens the file at
// csv_path as given, writes the log into it and closes it. Returns the
// record lines written; the bulk export calls it once per data log.
int export_datalog(ModbusTcpClient& client, DatalogColumns columns, int file,
                   const std::string& csv_path, tandrel_progress_cb progress, void* user);

// The CSV texts, pure: the title line and one record line, each with its line feed.
std::string datalog_title_line(const DatalogColumns& columns);
void append_datalog_csv_line(std::string& out, int no, const std::vector<uint16_t>& record,
                             const DatalogColumns& columns);

}  // namespace tandrel
