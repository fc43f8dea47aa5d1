// tandrel datalog HOST FILE: one data log, as rows, JSON lines or a CSV file.
#include <CLI/CLI.hpp>
#include <memory>

#include "commands.h"
#include "interrupt.h"
#include "log_runs.h"

namespace tandrel_cli {
namespace {

struct DatalogOptions {
    ConnectionArgs connection;
    int file_id = 1;
    std::string csv_path;
    bool json = false;
};

int run_datalog(const DatalogOptions& options) {
    Target target = resolve_target(options.connection);
    install_interrupt_handler();
    if (!options.csv_path.empty())
        return export_log(target, LogKind::Datalog, options.file_id, options.csv_path, options.json);
    return stream_log(target, LogKind::Datalog, options.file_id, options.json);
}

}  // namespace

CommandRun declare_datalog(CLI::App& parent) {
    auto options = std::make_shared<DatalogOptions>();
    CLI::App* app = parent.add_subcommand(
        "datalog", "Read a data log: one row per record, or export it with --csv");
    add_connection_options(*app, options->connection);
    app->add_option("FILE", options->file_id, "Data log number, 1-16 ('tandrel logs' lists them)")
        ->required()
        ->check(CLI::Range(1, 16));
    app->add_option("--csv", options->csv_path, "Write the log to this CSV file, with a progress bar")
        ->type_name("PATH");
    add_json_flag(*app, options->json);
    app->footer("Ctrl-C stops the transfer; a CSV file keeps the records written so far.\n"
                "Example: tandrel datalog 192.0.2.10 1 --csv dl1.csv");
    return [options] { return run_datalog(*options); };
}

}  // namespace tandrel_cli
