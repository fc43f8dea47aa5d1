// POSIX calendar conversions (gmtime_r, localtime_r) and the system clock.
#ifndef _WIN32

#include <chrono>

#include "platform/calendar.h"

namespace tandrel::platform {

bool utc_calendar(std::int64_t seconds, std::tm& out) {
    const time_t t = static_cast<time_t>(seconds);
    return gmtime_r(&t, &out) != nullptr;
}

bool local_calendar(std::int64_t seconds, std::tm& out) {
    const time_t t = static_cast<time_t>(seconds);
    return localtime_r(&t, &out) != nullptr;
}

std::int64_t system_clock_ns() {
    using namespace std::chrono;
    return duration_cast<nanoseconds>(system_clock::now().time_since_epoch()).count();
}

}  // namespace tandrel::platform

#endif  // !_WIN32
