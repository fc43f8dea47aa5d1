// What the tool needs from the operating system: Ctrl-C, terminals, a fresh
// directory and the swap of two. Only platform_<os>.cpp implements it, so that a port adds
// one file and no #ifdef reaches the commands.
//
// Ctrl-C: the first SIGINT only raises a flag, which the output and progress
// callbacks turn into a non-zero answer: the library then stops the call the
// same way it would for any host. A second SIGINT ends the process at once,
// for a meter that stopped answering in the middle of a request.
#pragma once

#include <cstdio>
#include <string>

namespace tandrel_cli {

void install_interrupt_handler();
bool interrupt_requested();

// True when `stream` is a terminal, where progress is redrawn in place.
bool is_terminal(std::FILE* stream);

struct TerminalSize {
    int columns = 0;
    int rows = 0;
};

// The size of the terminal `stream` writes to; zeros when it has none.
TerminalSize terminal_size(std::FILE* stream);

// Creates a new, empty directory in the system's temporary folder, its name
// starting with `prefix`; throws std::runtime_error when it cannot.
std::string make_temp_dir(const std::string& prefix);

}  // namespace tandrel_cli
