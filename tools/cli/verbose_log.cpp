// Prints the library's log messages to stderr through its log callback.
#include "verbose_log.h"

#include <cstdio>

#include "tandrel.h"

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

std::string log_line(int level, const char* message) {
    return std::string("[") + level_name(level) + "] " + (message ? message : "") + "\n";
}

void enable_verbose_log() { tandrel_set_log_callback(print_log, nullptr); }

}  // namespace tandrel_cli
