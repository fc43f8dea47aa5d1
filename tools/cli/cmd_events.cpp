// tandrel events HOST: the event log, as rows, JSON lines or a CSV file.
#include <CLI/CLI.hpp>
#include <memory>

#include "commands.h"
#include "log_transfer.h"

namespace tandrel_cli {

CommandRun declare_events(CLI::App& parent) {
    auto options = std::make_shared<LogCommandOptions>();
    CLI::App* app = parent.add_subcommand(
        "events", "Read the event log: one row per event, or export it with --csv");
    add_connection_options(*app, options->connection);
    app->add_option("--file", options->file_id, "Log file number of the event log")
        ->capture_default_str()
        ->check(CLI::Range(0, 16));
    add_log_output_options(*app, *options);
    app->footer("Ctrl-C stops the transfer; a CSV file keeps the records written so far.\n"
                "Example: tandrel events 192.0.2.10 --json | jq .cause");
    return [options] { return run_log_command(LogKind::Eventlog, *options); };
}

}  // namespace tandrel_cli
