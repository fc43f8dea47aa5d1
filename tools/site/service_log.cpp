// The service's log lines; see service_log.h.
#include "service_log.h"

#include <unistd.h>

#include <cstdio>
#include <mutex>

namespace tandrel_site {

std::string log_text(LogLevel level, const std::string& text, bool terminal) {
    const char* priority = "<6>";
    const char* word = "";
    switch (level) {
        case LogLevel::Error: priority = "<3>", word = "error: "; break;
        case LogLevel::Warning: priority = "<4>", word = "warning: "; break;
        case LogLevel::Info: break;
    }
    return (terminal ? "" : priority) + std::string("tandrel: ") + word + text + "\n";
}

void log_line(LogLevel level, const std::string& text) {
    static std::mutex mutex;
    static const bool terminal = isatty(STDERR_FILENO) == 1;
    const std::string line = log_text(level, text, terminal);
    std::lock_guard<std::mutex> lock(mutex);
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
}

}  // namespace tandrel_site
