// Programs a test starts besides itself (servers, a process to kill): fork
// and exec with the output into a log file, optionally as another user and
// killed with the test process, so that none outlives a crashed test.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace tandrel::testing {

struct RunAs {
    bool change = false;
    uid_t uid = 0;
    gid_t gid = 0;
};

// Starts `argv` (argv[0] a path) with stdout and stderr appended to `log`
// and `environment` ("NAME=value") added to the test's own.
pid_t spawn(const std::vector<std::string>& argv, const std::string& log, const RunAs& as,
            bool die_with_parent, const std::vector<std::string>& environment = {});

// The exit status, or 128 + the signal that ended it.
int wait_for(pid_t pid);

// Sends `signal`; after `seconds` without an exit, SIGKILL.
void stop_process(pid_t pid, int signal, int seconds);

std::string file_text(const std::string& path);

// A TCP port on 127.0.0.1 that nothing listens on at the moment of the call.
int free_tcp_port();

}  // namespace tandrel::testing
