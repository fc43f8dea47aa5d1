// Collects the library's log messages for the lifetime of one test; the log
// callback is process-wide, so tests that capture must not run in parallel.
#pragma once

#include <algorithm>
#include <initializer_list>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

#include "tandrel.h"

namespace tandrel::testing {

struct Logged {
    int level;
    std::string text;
    bool operator==(const Logged& o) const { return level == o.level && text == o.text; }
};

inline std::ostream& operator<<(std::ostream& os, const Logged& m) {
    return os << m.level << ":" << m.text;
}

class LogCapture {
public:
    LogCapture() { tandrel_set_log_callback(&LogCapture::collect, this); }
    ~LogCapture() { tandrel_set_log_callback(nullptr, nullptr); }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    // Messages of the given levels in order, less the "Connected to" lines.
    std::vector<Logged> at_levels(std::initializer_list<int> levels) const {
        std::lock_guard<std::mutex> lock(mutex_);
        std::vector<Logged> picked;
        for (const Logged& m : messages_) {
            const bool wanted = std::find(levels.begin(), levels.end(), m.level) != levels.end();
            if (wanted && m.text.rfind("Connected to ", 0) != 0) picked.push_back(m);
        }
        return picked;
    }

private:
    static void TANDREL_CALL collect(int level, const char* message, void* user) {
        auto* self = static_cast<LogCapture*>(user);
        std::lock_guard<std::mutex> lock(self->mutex_);
        self->messages_.push_back({level, message});
    }

    mutable std::mutex mutex_;
    std::vector<Logged> messages_;
};

}  // namespace tandrel::testing
