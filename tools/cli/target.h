// Where a command goes: HOST or HOST:PORT, the model and the connection
// settings of the command line, turned into the library's host, meter and
// options texts.
#pragma once

#include <string>

namespace CLI {
class App;
}

namespace tandrel_cli {

struct ConnectionArgs {
    std::string host;
    std::string meter = "em235";
    int port = 0;           // 0: not given
    int unit = -1;          // -1: not given
    double timeout_s = 0;   // 0: not given
};

struct Endpoint {
    std::string host;
    int port = 0;  // 0: none in the text
};

struct Target {
    std::string host;
    std::string meter;
    std::string options;
};

// "meter7", "192.0.2.10:1502", "[::1]:1502"; a bare IPv6 address has no port.
// Throws UsageError for an empty host or a port that is not 1-65535.
Endpoint split_host_port(const std::string& text);

// {"port":1502,"unit_id":3,"timeout_ms":5000}, members only for what was given.
std::string options_text(int port, int unit, int timeout_ms);

// Throws UsageError when HOST:PORT and --port disagree or --timeout is out of range.
Target resolve_target(const ConnectionArgs& args);

// HOST positional, --meter, --port, --unit, --timeout.
void add_connection_options(CLI::App& app, ConnectionArgs& args);

// HOST and --meter only, for commands whose library call has no options.
void add_host_and_meter(CLI::App& app, ConnectionArgs& args);

}  // namespace tandrel_cli
