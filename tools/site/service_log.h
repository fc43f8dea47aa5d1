// The service's log: one line per event on stderr, which systemd hands to
// the journal. Off a terminal each line starts with the "<N>" priority that
// journald reads (3 error, 4 warning, 6 info); on one, with plain words.
#pragma once

#include <string>

namespace tandrel_site {

enum class LogLevel { Error, Warning, Info };

// Thread-safe: lines from different threads never mix.
void log_line(LogLevel level, const std::string& text);

// The line as written, for a stream that is or is not a terminal.
std::string log_text(LogLevel level, const std::string& text, bool terminal);

}  // namespace tandrel_site
