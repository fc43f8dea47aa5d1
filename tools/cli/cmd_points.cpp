// tandrel points: the model's readable points; needs no meter.
#include <CLI/CLI.hpp>
#include <memory>

#include "commands.h"
#include "library_call.h"
#include "tandrel.h"
#include "views.h"

namespace tandrel_cli {
namespace {

struct PointsOptions {
    std::string meter = "em235";
    bool json = false;
};

int run_points(const PointsOptions& options) {
    CallResult result = fetch_document([&](char* out, int out_len, char* err, int err_len) {
        return tandrel_list_points(options.meter.c_str(), out, out_len, err, err_len);
    });
    return print_document(result, options.json, point_listing_text, FailureContext{});
}

}  // namespace

CommandRun declare_points(CLI::App& parent) {
    auto options = std::make_shared<PointsOptions>();
    CLI::App* app = parent.add_subcommand(
        "points", "List the points a meter model offers (no meter needed)");
    add_meter_option(*app, options->meter);
    add_json_flag(*app, options->json);
    app->footer("Example: tandrel points --meter em133");
    return [options] { return run_points(*options); };
}

}  // namespace tandrel_cli
