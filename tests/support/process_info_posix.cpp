#include <filesystem>
#include <fstream>
#include <string>

#include "process_info.h"

namespace tandrel::testing {

int open_descriptor_count() {
    std::error_code ec;
    std::filesystem::directory_iterator it("/proc/self/fd", ec);
    if (ec) return -1;
    int n = 0;
    for (; it != std::filesystem::directory_iterator(); it.increment(ec)) ++n;
    return n;
}

long resident_kib() {
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "VmRSS:") {
            long kib = -1;
            status >> kib;
            return kib;
        }
        status.ignore(4096, '\n');
    }
    return -1;
}

}  // namespace tandrel::testing
