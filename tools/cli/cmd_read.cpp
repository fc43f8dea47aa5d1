// tandrel read HOST POINT...: chosen points, by id or name.
#include <CLI/CLI.hpp>
#include <memory>

#include "commands.h"
#include "library_call.h"
#include "model_check.h"
#include "tandrel.h"
#include "views.h"

namespace tandrel_cli {
namespace {

struct ReadOptions {
    ConnectionArgs connection;
    std::vector<std::string> points;
    bool json = false;
};

}  // namespace

int run_read(Target& target, const std::vector<std::string>& names, bool json) {
    if (int code = check_model(target)) return code;
    std::string points = point_list_text(names);
    CallResult result = fetch_document([&](char* out, int out_len, char* err, int err_len) {
        return tandrel_read_points(target.host.c_str(), target.meter.c_str(),
                                   target.options.c_str(), points.c_str(), out, out_len, err,
                                   err_len);
    });
    return print_document(result, json, readings_text, failure_context(target));
}

CommandRun declare_read(CLI::App& parent) {
    auto options = std::make_shared<ReadOptions>();
    CLI::App* app = parent.add_subcommand("read", "Read chosen points by id (4352, 0x1100) or name");
    add_connection_options(*app, options->connection);
    app->add_option("POINT", options->points, "Point ids or names, as 'tandrel points' lists them")
        ->required();
    add_json_flag(*app, options->json);
    app->footer("Example: tandrel read 192.0.2.10 V1 \"Total kW\" 0x1102");
    return [options] {
        Target target = resolve_target(options->connection);
        return run_read(target, options->points, options->json);
    };
}

}  // namespace tandrel_cli
