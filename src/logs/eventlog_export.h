// The event log exported as a CSV file: a fixed title line, then one row per
// event, with progress reported after every row.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tandrel.h"

namespace tandrel {

class ModbusTcpClient;

// The 99-byte title line, line feed included.
extern const char EVENTLOG_CSV_TITLE[];

// The work behind tandrel_export_eventlog_ex (and the short form, with null
// options, progress and user). Returns the rows written.
int export_eventlog_ex_impl(const char* host, const char* meter, int file_id,
                            const char* csv_path, const char* options,
                            tandrel_progress_cb progress, void* user);

// On a connected client: opens the file at csv_path as given, writes the
// event log into it and closes it. Returns the rows written; the bulk export
// calls it for the event log.
int export_eventlog(ModbusTcpClient& client, int file, const std::string& csv_path,
                    tandrel_progress_cb progress, void* user);

// One row with its line feed; the five texts go through csv_quote.
void append_event_csv_line(std::string& out, int no, const std::vector<uint16_t>& record);

}  // namespace tandrel
