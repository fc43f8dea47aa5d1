// The process-wide log sink: one callback, its user pointer and a mutex.
// It is the library's only mutable global state.
#pragma once

#include <string>

#include "tandrel.h"

namespace tandrel {

enum class LogLevel : int { Error = 0, Warning = 1, Info = 2, Debug = 3 };

// Delivers one message to the installed callback, holding the sink's mutex so
// the callback is never entered by two threads at once. Dropped when none is set.
void log_msg(LogLevel level, const std::string& message);

// Whether anyone would receive a message; lets callers skip building texts.
bool log_callback_installed();

void set_log_callback(tandrel_log_cb cb, void* user);

}  // namespace tandrel
