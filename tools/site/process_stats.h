// The service's own process, as Prometheus' standard process_* metrics report
// it, so that a test (and an operator) sees descriptors and memory stay flat.
#pragma once

namespace tandrel_site {

struct ProcessStats {
    bool known = false;  // false where the system does not tell
    double cpu_seconds = 0;
    double resident_bytes = 0;
    double virtual_bytes = 0;
    double start_time_seconds = 0;  // Unix time
    double open_fds = 0;
    double max_fds = 0;
};

// Read from /proc/self on Linux; `known` false elsewhere or on failure.
ProcessStats read_process_stats();

}  // namespace tandrel_site
