// Exit statuses of the tool, shared by every subcommand so that scripts can
// tell a failed meter call from a mistyped command line or a Ctrl-C.
#pragma once

namespace tandrel_cli {

constexpr int EXIT_OK = 0;
constexpr int EXIT_FAILED = 1;
constexpr int EXIT_USAGE = 2;
constexpr int EXIT_CANCELLED = 130;  // the shell's convention for SIGINT

}  // namespace tandrel_cli
