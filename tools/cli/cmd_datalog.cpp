// tandrel datalog HOST FILE: one data log, as rows, JSON lines or a CSV file.
#include <CLI/CLI.hpp>
#include <memory>

#include "commands.h"
#include "log_transfer.h"

namespace tandrel_cli {

CommandRun declare_datalog(CLI::App& parent) {
    auto options = std::make_shared<LogCommandOptions>();
    options->file_id = 1;
    CLI::App* app = parent.add_subcommand(
        "datalog", "Read a data log: one row per record, or export it with --csv");
    add_connection_options(*app, options->connection);
    app->add_option("FILE", options->file_id, "Data log number, 1-16 ('tandrel logs' lists them)")
        ->required()
        ->check(CLI::Range(1, 16));
    add_log_output_options(*app, *options);
    app->footer("Ctrl-C stops the transfer; a CSV file keeps the records written so far.\n"
                "Example: tandrel datalog 192.0.2.10 1 --csv dl1.csv");
    return [options] { return run_log_command(LogKind::Datalog, *options); };
}

}  // namespace tandrel_cli
