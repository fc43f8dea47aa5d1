// Windows side of platform.h: the console control handler, the console's
// size, a fresh directory under the temporary folder.
#include "platform.h"

#include <windows.h>

#include <io.h>

#include <atomic>
#include <random>
#include <stdexcept>

namespace tandrel_cli {
namespace {

std::atomic<bool> interrupted{false};

// Runs on a thread of its own that the system starts. The first Ctrl-C only
// raises the flag; a second one is left to the default handler, which ends
// the process at once.
BOOL WINAPI on_control(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
    if (interrupted.exchange(true)) return FALSE;
    return TRUE;
}

HANDLE console_of(std::FILE* stream) {
    return GetStdHandle(stream == stderr ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
}

}  // namespace

void install_interrupt_handler() { SetConsoleCtrlHandler(on_control, TRUE); }

bool interrupt_requested() { return interrupted; }

bool is_terminal(std::FILE* stream) { return _isatty(_fileno(stream)) != 0; }

TerminalSize terminal_size(std::FILE* stream) {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!GetConsoleScreenBufferInfo(console_of(stream), &info)) return {};
    return {info.srWindow.Right - info.srWindow.Left + 1, info.srWindow.Bottom - info.srWindow.Top + 1};
}

std::string make_temp_dir(const std::string& prefix) {
    char base[MAX_PATH + 1];
    const DWORD n = GetTempPathA(sizeof base, base);
    if (n == 0 || n > MAX_PATH) throw std::runtime_error("cannot find the temporary folder");
    std::random_device seed;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = std::string(base) + prefix + std::to_string(seed() % 1000000);
        if (CreateDirectoryA(name.c_str(), nullptr)) return name;
        if (GetLastError() != ERROR_ALREADY_EXISTS) break;
    }
    throw std::runtime_error(std::string("cannot create a directory in ") + base);
}

}  // namespace tandrel_cli
