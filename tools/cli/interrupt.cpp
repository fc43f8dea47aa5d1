// Ctrl-C turned into a flag for the library's cancelling callbacks.
#include "interrupt.h"

#include <csignal>

namespace tandrel_cli {
namespace {

volatile std::sig_atomic_t interrupted = 0;

extern "C" void on_sigint(int) { interrupted = 1; }

}  // namespace

void install_interrupt_handler() {
    struct sigaction action {};
    action.sa_handler = on_sigint;
    sigemptyset(&action.sa_mask);
    // SA_RESTART keeps a socket wait inside the library from failing with
    // EINTR; SA_RESETHAND lets a second Ctrl-C kill a call that hangs.
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    sigaction(SIGINT, &action, nullptr);
}

bool interrupt_requested() { return interrupted != 0; }

}  // namespace tandrel_cli
