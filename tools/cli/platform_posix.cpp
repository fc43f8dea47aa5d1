// POSIX side of platform.h: sigaction, isatty, mkdtemp.
#include "platform.h"

#include <stdlib.h>  // mkdtemp
#include <unistd.h>

#include <csignal>
#include <stdexcept>
#include <vector>

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

bool is_terminal(std::FILE* stream) { return isatty(fileno(stream)) != 0; }

std::string make_temp_dir(const std::string& prefix) {
    std::string pattern = "/tmp/" + prefix + "XXXXXX";
    std::vector<char> name(pattern.c_str(), pattern.c_str() + pattern.size() + 1);
    if (mkdtemp(name.data()) == nullptr)
        throw std::runtime_error("cannot create a directory in /tmp");
    return name.data();
}

}  // namespace tandrel_cli
