#ifdef _WIN32

#include <time.h>

#include <chrono>

#include "calendar.h"

namespace tandrel::platform {

bool utc_calendar(std::int64_t seconds, std::tm& out) {
    const __time64_t t = static_cast<__time64_t>(seconds);
    return _gmtime64_s(&out, &t) == 0;
}

bool local_calendar(std::int64_t seconds, std::tm& out) {
    const __time64_t t = static_cast<__time64_t>(seconds);
    return _localtime64_s(&out, &t) == 0;
}

std::int64_t system_clock_ns() {
    using namespace std::chrono;
    return duration_cast<nanoseconds>(system_clock::now().time_since_epoch()).count();
}

}  // namespace tandrel::platform

#endif  // _WIN32
