// tandrel events HOST: the event log, as rows, JSON lines or a CSV file.
#include <CLI/CLI.hpp>
#include <memory>

#include "commands.h"
#include "interrupt.h"
#include "log_runs.h"

namespace tandrel_cli {
namespace {

struct EventsOptions {
    ConnectionArgs connection;
    int file_id = 0;
    std::string csv_path;
    bool json = false;
};

int run_events(const EventsOptions& options) {
    Target target = resolve_target(options.connection);
    install_interrupt_handler();
    if (!options.csv_path.empty())
        return export_log(target, LogKind::Eventlog, options.file_id, options.csv_path, options.json);
    return stream_log(target, LogKind::Eventlog, options.file_id, options.json);
}

}  // namespace

CommandRun declare_events(CLI::App& parent) {
    auto options = std::make_shared<EventsOptions>();
    CLI::App* app = parent.add_subcommand(
        "events", "Read the event log: one row per event, or export it with --csv");
    add_connection_options(*app, options->connection);
    app->add_option("--file", options->file_id, "Log file number of the event log")
        ->capture_default_str()
        ->check(CLI::Range(0, 16));
    app->add_option("--csv", options->csv_path, "Write the log to this CSV file, with a progress bar")
        ->type_name("PATH");
    add_json_flag(*app, options->json);
    app->footer("Ctrl-C stops the transfer; a CSV file keeps the records written so far.\n"
                "Example: tandrel events 192.0.2.10 --json | jq .cause");
    return [options] { return run_events(*options); };
}

}  // namespace tandrel_cli
