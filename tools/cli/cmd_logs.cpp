// tandrel logs HOST: the meter's log directory with the data-log columns.
#include <CLI/CLI.hpp>
#include <memory>

#include "commands.h"
#include "library_call.h"
#include "model_check.h"
#include "tandrel.h"
#include "views.h"

namespace tandrel_cli {
namespace {

struct LogsOptions {
    ConnectionArgs connection;
    bool json = false;
};

}  // namespace

int run_logs(Target& target, bool json) {
    if (int code = check_model(target)) return code;
    return print_document(fetch_document(tandrel_list_logs, target), json, log_directory_text,
                          failure_context(target));
}

CommandRun declare_logs(CLI::App& parent) {
    auto options = std::make_shared<LogsOptions>();
    CLI::App* app = parent.add_subcommand(
        "logs", "List the meter's log files: the event log and the data logs with their columns");
    add_connection_options(*app, options->connection);
    add_json_flag(*app, options->json);
    app->footer("Example: tandrel logs 192.0.2.10:1502");
    return [options] {
        Target target = resolve_target(options->connection);
        return run_logs(target, options->json);
    };
}

}  // namespace tandrel_cli
