// The process's figures from /proc/self; see process_stats.h.
#include "process_stats.h"

#include <sys/resource.h>
#include <unistd.h>

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

}  // namespace

ProcessStats read_process_stats() {
    ProcessStats stats;
    std::ifstream in("/proc/self/stat");
    std::string line;
    if (!std::getline(in, line)) return stats;
    // The command name in parentheses may hold spaces: the fields start after its ')'.
    std::istringstream fields(line.substr(line.rfind(')') + 2));
    std::string field;
    double utime = 0, stime = 0, start_ticks = 0, vsize = 0, rss_pages = 0;
    for (int number = 3; fields >> field; ++number) {
        if (number == 14) utime = std::stod(field);
        if (number == 15) stime = std::stod(field);
        if (number == 22) start_ticks = std::stod(field);
        if (number == 23) vsize = std::stod(field);
        if (number == 24) rss_pages = std::stod(field);
    }
    const double ticks = static_cast<double>(sysconf(_SC_CLK_TCK));
    stats.cpu_seconds = (utime + stime) / ticks;
    stats.start_time_seconds = boot_time() + start_ticks / ticks;
    stats.virtual_bytes = vsize;
    stats.resident_bytes = rss_pages * static_cast<double>(sysconf(_SC_PAGESIZE));
    stats.open_fds = open_fd_count();
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0) stats.max_fds = static_cast<double>(limit.rlim_cur);
    stats.known = ticks > 0;
    return stats;
}

}  // namespace tandrel_site
