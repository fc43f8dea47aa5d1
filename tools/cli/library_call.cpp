// Status handling and the log callback shared by every subcommand.
#include "library_call.h"

#include <cstdio>

namespace tandrel_cli {
namespace {

const char* level_name(int level) {
    switch (level) {
        case TANDREL_LOG_ERROR: return "error";
        case TANDREL_LOG_WARNING: return "warning";
        case TANDREL_LOG_INFO: return "info";
        case TANDREL_LOG_DEBUG: return "debug";
        default: return "log";
    }
}

// Runs under the library's log lock: it only writes to stderr, never calls back.
void TANDREL_CALL print_log(int level, const char* message, void*) {
    std::fputs(log_line(level, message).c_str(), stderr);
    std::fflush(stderr);
}

}  // namespace

int exit_code_for_status(int status) {
    if (status >= 0) return EXIT_OK;
    return status == -2 ? EXIT_CANCELLED : EXIT_FAILED;
}

int report_failure(int status, const std::string& message, const FailureContext& context) {
    std::string hint = failure_hint(message, context);
    std::fprintf(stderr, "tandrel: %s\n", message.c_str());
    if (!hint.empty()) std::fprintf(stderr, "hint: %s\n", hint.c_str());
    return exit_code_for_status(status);
}

int print_document(const CallResult& result, bool json, DocumentView view,
                   const FailureContext& context) {
    if (result.status < 0) return report_failure(result.status, result.error, context);
    std::string text = json ? result.text + "\n" : view(parse_json(result.text));
    std::fputs(text.c_str(), stdout);
    std::fflush(stdout);
    return EXIT_OK;
}

std::string log_line(int level, const char* message) {
    return std::string("[") + level_name(level) + "] " + (message ? message : "") + "\n";
}

void enable_verbose_log() { tandrel_set_log_callback(print_log, nullptr); }

}  // namespace tandrel_cli
