// The log sink. Built on first use; a function-local static gives the
// thread-safe one-time construction.
#include "core/log_sink.h"

#include <mutex>

namespace tandrel {
namespace {

struct LogSink {
    std::mutex mutex;
    tandrel_log_cb callback = nullptr;
    void* user = nullptr;
};

LogSink& sink() {
    static LogSink instance;
    return instance;
}

}  // namespace

void log_msg(LogLevel level, const std::string& message) {
    LogSink& s = sink();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (s.callback != nullptr) s.callback(static_cast<int>(level), message.c_str(), s.user);
}

bool log_callback_installed() {
    LogSink& s = sink();
    std::lock_guard<std::mutex> lock(s.mutex);
    return s.callback != nullptr;
}

void set_log_callback(tandrel_log_cb cb, void* user) {
    LogSink& s = sink();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.callback = cb;
    s.user = user;
}

}  // namespace tandrel
