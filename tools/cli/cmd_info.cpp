// tandrel info HOST: the meter's identity and setup.
#include <CLI/CLI.hpp>
#include <memory>

#include "commands.h"
#include "library_call.h"
#include "model_check.h"
#include "tandrel.h"
#include "views.h"

namespace tandrel_cli {
namespace {

struct InfoOptions {
    ConnectionArgs connection;
    bool json = false;
};

}  // namespace

// The identity read is the document itself when it was read as the model chosen.
int run_info(Target& target, bool json) {
    return print_document(identified_device_info(target), json, device_info_text,
                          failure_context(target));
}

CommandRun declare_info(CLI::App& parent) {
    auto options = std::make_shared<InfoOptions>();
    CLI::App* app = parent.add_subcommand("info", "Show the meter's identity and setup");
    add_connection_options(*app, options->connection);
    add_json_flag(*app, options->json);
    app->footer("Example: tandrel info 192.0.2.10");
    return [options] {
        Target target = resolve_target(options->connection);
        return run_info(target, options->json);
    };
}

}  // namespace tandrel_cli
