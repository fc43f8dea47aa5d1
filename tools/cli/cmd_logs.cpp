// tandrel logs HOST: the meter's log directory with the data-log columns.
#include <CLI/CLI.hpp>
#include <memory>

#include "commands.h"
#include "print_document.h"
#include "tandrel.h"
#include "views.h"

namespace tandrel_cli {
namespace {

struct LogsOptions {
    ConnectionArgs connection;
    bool json = false;
};

}  // namespace

int run_logs(const Target& target, bool json) {
    CallResult result = fetch_document([&](char* out, int out_len, char* err, int err_len) {
        return tandrel_list_logs(target.host.c_str(), target.meter.c_str(),
                                 target.options.c_str(), out, out_len, err, err_len);
    });
    return print_document(result, json, log_directory_text);
}

CommandRun declare_logs(CLI::App& parent) {
    auto options = std::make_shared<LogsOptions>();
    CLI::App* app = parent.add_subcommand(
        "logs", "List the meter's log files: the event log and the data logs with their columns");
    add_connection_options(*app, options->connection);
    add_json_flag(*app, options->json);
    app->footer("Example: tandrel logs 192.0.2.10:1502");
    return [options] { return run_logs(resolve_target(options->connection), options->json); };
}

}  // namespace tandrel_cli
