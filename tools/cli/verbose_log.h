// --verbose: the library's log messages on stderr, each with its level.
#pragma once

#include <string>

namespace tandrel_cli {

std::string log_line(int level, const char* message);
void enable_verbose_log();

}  // namespace tandrel_cli
