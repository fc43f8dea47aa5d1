// The process's figures from /proc/self; see process_stats.h.
#include "process_stats.h"

#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace tandrel_site {
namespace {

// The system's boot time (Unix seconds), the `btime` line of /proc/stat.
double boot_time() {
    std::ifstream in("/proc/stat");
    std::string key;
    double value = 0;
    while (in >> key) {
        if (key == "btime" && in >> value) return value;
        in.ignore(1 << 20, '\n');
    }
    return 0;
}

double open_fd_count() {
    std::error_code ec;
    double count = 0;
    for (std::filesystem::directory_iterator it("/proc/self/fd", ec), end; !ec && it != end;
         it.increment(ec))
        ++count;
    return count - 1;  // the directory's own descriptor, open while it is listed
}

// The fields of /proc/self/stat that the metrics take; see proc(5).
struct StatFields {
    double utime = 0, stime = 0, start_ticks = 0, vsize = 0, rss_pages = 0;
};

bool read_stat_fields(StatFields& out) {
    std::ifstream in("/proc/self/stat");
    std::string line;
    const size_t paren = std::getline(in, line) ? line.rfind(')') : std::string::npos;
    if (paren == std::string::npos || paren + 2 > line.size()) return false;
    // The command name in parentheses may hold spaces: the fields start after its ')'.
    std::istringstream fields(line.substr(paren + 2));
    double* const WANTED[] = {&out.utime, &out.stime, &out.start_ticks, &out.vsize, &out.rss_pages};
    const int NUMBERS[] = {14, 15, 22, 23, 24};
    std::string field;
    int found = 0;
    for (int number = 3; found < 5 && fields >> field; ++number) {
        if (number != NUMBERS[found]) continue;
        char* end = nullptr;
        *WANTED[found++] = std::strtod(field.c_str(), &end);
        if (*end != '\0') return false;
    }
    return found == 5;
}

}  // namespace

ProcessStats read_process_stats() {
    ProcessStats stats;
    StatFields f;
    if (!read_stat_fields(f)) return stats;
    const double ticks = static_cast<double>(sysconf(_SC_CLK_TCK));
    stats.cpu_seconds = (f.utime + f.stime) / ticks;
    stats.start_time_seconds = boot_time() + f.start_ticks / ticks;
    stats.virtual_bytes = f.vsize;
    stats.resident_bytes = f.rss_pages * static_cast<double>(sysconf(_SC_PAGESIZE));
    stats.open_fds = open_fd_count();
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0) stats.max_fds = static_cast<double>(limit.rlim_cur);
    stats.known = ticks > 0;
    return stats;
}

}  // namespace tandrel_site
