// POSIX side of platform.h: sigaction, isatty, the window size, mkdtemp.
#include "platform.h"

#include <stdlib.h>  // mkdtemp
#include <sys/ioctl.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <stdexcept>
#include <vector>

namespace tandrel_cli {
namespace {

// Read by every worker thread of `collect`: an atomic that needs no lock is
// safe both there and in the signal handler.
std::atomic<bool> interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the signal handler needs a lock-free flag");

extern "C" void on_sigint(int) { interrupted = true; }

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

bool interrupt_requested() { return interrupted; }

bool is_terminal(std::FILE* stream) { return isatty(fileno(stream)) != 0; }

TerminalSize terminal_size(std::FILE* stream) {
    struct winsize size {};
    if (ioctl(fileno(stream), TIOCGWINSZ, &size) != 0) return {};
    return {size.ws_col, size.ws_row};
}

std::string make_temp_dir(const std::string& prefix) {
    std::string pattern = "/tmp/" + prefix + "XXXXXX";
    std::vector<char> name(pattern.c_str(), pattern.c_str() + pattern.size() + 1);
    if (mkdtemp(name.data()) == nullptr)
        throw std::runtime_error("cannot create a directory in /tmp");
    return name.data();
}

}  // namespace tandrel_cli
