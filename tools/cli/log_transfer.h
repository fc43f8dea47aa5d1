// Fetching a log, shared by `datalog`, `events` and `demo`: streamed to
// stdout (rows or --json lines), or exported to a CSV file by the library
// with a progress display on stderr.
#pragma once

#include <string>

#include "arguments.h"
#include "site_names.h"
#include "views.h"

namespace CLI {
class App;
}

namespace tandrel_cli {

// The options of `datalog` and `events`, which differ only in how they name the file.
struct LogCommandOptions {
    ConnectionArgs connection;
    int file_id = 0;
    std::string csv_path;
    bool json = false;
};

// --csv and --json, with the help both commands share.
void add_log_output_options(CLI::App& app, LogCommandOptions& options);

// Streams the log, or exports it with --csv; returns the exit code.
int run_log_command(LogKind kind, const LogCommandOptions& options);

// Returns the exit code; Ctrl-C stops the stream through the output callback.
// Both read the meter's identity first unless an earlier step did.
int stream_log(Target& target, LogKind kind, int file_id, bool json);

// Returns the exit code; Ctrl-C stops the export through the progress callback
// and the message says how many records the file kept.
int export_log(Target& target, LogKind kind, int file_id, const std::string& csv_path,
               bool json);

}  // namespace tandrel_cli
