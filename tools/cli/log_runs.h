// The two ways of fetching a log, shared by `datalog`, `events` and `demo`:
// streamed to stdout (rows or --json lines), or exported to a CSV file by the
// library with a progress display on stderr.
#pragma once

#include <string>

#include "stream_view.h"
#include "target.h"

namespace tandrel_cli {

// Returns the exit code; Ctrl-C stops the stream through the output callback.
int stream_log(const Target& target, LogKind kind, int file_id, bool json);

// Returns the exit code; Ctrl-C stops the export through the progress callback
// and the message says how many records the file kept.
int export_log(const Target& target, LogKind kind, int file_id, const std::string& csv_path,
               bool json);

}  // namespace tandrel_cli
