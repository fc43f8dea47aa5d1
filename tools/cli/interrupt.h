// Ctrl-C handling. The first SIGINT only raises a flag, which the output and
// progress callbacks turn into a non-zero answer: the library then stops the
// call the same way it would for any host. A second SIGINT ends the process at
// once, for a meter that stopped answering in the middle of a request.
#pragma once

namespace tandrel_cli {

void install_interrupt_handler();
bool interrupt_requested();

}  // namespace tandrel_cli
