// Status handling, document buffers and the log callback shared by every subcommand.
#include "library_call.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace tandrel_cli {
namespace {

constexpr int FIRST_BUFFER_SIZE = 256 * 1024;

int call_once(const DocumentCall& call, std::vector<char>& out, CallResult& result) {
    ErrorBuffer err;
    int status = call(out.data(), static_cast<int>(out.size()), err.data(), err.size());
    result.status = status;
    result.error = status < 0 ? err.str() : std::string();
    if (status >= 0) result.text = out.data();
    return status;
}

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

long needed_size(const std::string& message) {
    static const std::string PREFIX = "Output buffer too small: need ";
    if (message.compare(0, PREFIX.size(), PREFIX) != 0) return -1;
    const char* digits = message.c_str() + PREFIX.size();
    char* end = nullptr;
    long n = std::strtol(digits, &end, 10);
    if (end == digits || n <= 0) return -1;
    return n;
}

CallResult fetch_document(const DocumentCall& call) {
    CallResult result;
    std::vector<char> out(FIRST_BUFFER_SIZE, '\0');
    if (call_once(call, out, result) != -1) return result;
    long need = needed_size(result.error);
    if (need <= 0 || need > 0x7FFFFFFF) return result;
    out.assign(static_cast<size_t>(need), '\0');
    call_once(call, out, result);
    return result;
}

CallResult fetch_document(MeterDocumentCall call, const Target& target) {
    return fetch_document([&](char* out, int out_len, char* err, int err_len) {
        return call(target.host.c_str(), target.meter.c_str(), target.options.c_str(), out,
                    out_len, err, err_len);
    });
}

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
