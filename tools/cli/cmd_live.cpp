// tandrel live HOST: the model's live set, once or every N seconds.
#include <CLI/CLI.hpp>
#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>

#include "commands.h"
#include "library_call.h"
#include "live_frame.h"
#include "meter_session.h"
#include "model_check.h"
#include "platform.h"
#include "tandrel.h"
#include "views.h"

namespace tandrel_cli {
namespace {

struct LiveOptions {
    ConnectionArgs connection;
    double watch_s = 0;
    bool json = false;
};

// Sleeps in short steps so that Ctrl-C ends the wait at once.
void wait_or_interrupt(double seconds) {
    auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!interrupt_requested() && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

// On a terminal each frame overwrites the last from the top, line by line,
// fitted to the window as it is now, so the heading stays in sight.
int draw_frame(const CallResult& result, const Target& target) {
    if (result.status < 0) return report_failure(result.status, result.error, failure_context(target));
    TerminalSize size = terminal_size(stdout);
    std::string text = "\x1b[H";
    for (const auto& line : live_frame(parse_json(result.text), size.columns, size.rows))
        text += line + "\x1b[K\n";
    std::fputs((text + "\x1b[J").c_str(), stdout);
    return EXIT_OK;
}

int print_live(const CallResult& result, const Target& target, bool json) {
    return print_document(result, json, readings_text, failure_context(target));
}

// Elsewhere the frames follow one another, a blank line apart (one JSON
// document a line with --json). Every poll goes through one session: one
// connection, and the meter's setup read at the open (and again when it
// ages out or after a reconnect), so a poll sends the live requests only.
int watch(Target& target, const LiveOptions& options) {
    install_interrupt_handler();
    MeterSession session;
    CallResult opened = session.open(target);
    if (opened.status < 0) return report_failure(opened.status, opened.error, failure_context(target));
    bool terminal = !options.json && is_terminal(stdout);
    if (terminal) std::fputs("\x1b[2J", stdout);
    while (!interrupt_requested()) {
        CallResult result = session.fetch(tandrel_session_read_live);
        int code = terminal ? draw_frame(result, target) : print_live(result, target, options.json);
        if (code != EXIT_OK) return code;
        if (!options.json && !terminal) std::fputs("\n", stdout);
        std::fflush(stdout);
        wait_or_interrupt(options.watch_s);
    }
    return EXIT_CANCELLED;
}

}  // namespace

int run_live_once(Target& target, bool json) {
    if (int code = check_model(target)) return code;
    return print_live(fetch_document(tandrel_read_live_ex, target), target, json);
}

CommandRun declare_live(CLI::App& parent) {
    auto options = std::make_shared<LiveOptions>();
    CLI::App* app = parent.add_subcommand(
        "live", "Read the live values: voltages, currents, powers, frequency, energies");
    add_connection_options(*app, options->connection);
    app->add_option("-w,--watch", options->watch_s, "Repeat every SECONDS until Ctrl-C")
        ->type_name("SECONDS")
        ->check(CLI::Range(0.1, 86400.0));
    add_json_flag(*app, options->json);
    app->footer("Example: tandrel live 192.0.2.10 --watch 2");
    return [options] {
        Target target = resolve_target(options->connection);
        return options->watch_s > 0 ? watch(target, *options) : run_live_once(target, options->json);
    };
}

}  // namespace tandrel_cli
