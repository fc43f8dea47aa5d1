// Command line of tandrel-sim: the options, their parsing and the help text.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tandrel_sim {

struct CliOptions {
    std::string model = "em235";
    bool model_given = false;
    std::string address = "127.0.0.1";
    std::uint16_t port = 5020;
    std::string scenario;
    bool trace = false;
    bool deterministic = false;
    bool no_default_logs = false;
    bool help = false;
};

// Throws std::runtime_error with a one-line message on a bad command line.
CliOptions parse_cli(const std::vector<std::string>& args);
std::string help_text();

}  // namespace tandrel_sim
