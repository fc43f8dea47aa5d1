// The command line's arguments as the library's texts: where a command goes
// (HOST or HOST:PORT, the model and the connection settings, turned into the
// library's host, meter and options texts) and which points it reads.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "endpoint.h"

namespace CLI {
class App;
}

namespace tandrel_cli {

// A command line that parsed but makes no sense (a bad HOST:PORT, two ports
// that disagree); main turns it into exit status 2 like CLI11's own errors.
class UsageError : public tandrel_site::InputError {
public:
    explicit UsageError(const std::string& message) : tandrel_site::InputError(message) {}
};

using tandrel_site::Endpoint;
using tandrel_site::endpoint_text;
using tandrel_site::options_text;
using tandrel_site::split_host_port;

struct ConnectionArgs {
    std::string host;
    std::string meter;        // "": the model the meter reports
    bool force_model = false; // read as `meter` without checking the identity
    int port = 0;           // 0: not given
    int unit = -1;          // -1: not given
    double timeout_s = 0;   // 0: not given
};

using Target = tandrel_site::MeterTarget;

// Throws UsageError when HOST:PORT and --port disagree or --timeout is out of range.
Target resolve_target(const ConnectionArgs& args);

// --timeout in milliseconds for the options text, 0 when not given; throws
// UsageError outside 0.1-3600 seconds.
int timeout_ms(double seconds);

// The em133 full export and the em235 diagnostics take no options text: the
// library always connects to port 502. A HOST:PORT naming another port is
// refused rather than silently ignored. Returns the host part of HOST or
// HOST:502; throws UsageError for any other port.
std::string host_on_port_502(const std::string& text, const char* command);

// POINT arguments to the library's point list text. Numbers (4352, 0x1100) go
// as they are; anything else is a name and is quoted, so that
// `tandrel read HOST V1 "Total kW"` works without shell-level JSON quoting.
std::string point_list_text(const std::vector<std::string>& points);

// HOST positional, --meter, --force-model, --port, --unit, --timeout.
void add_connection_options(CLI::App& app, ConnectionArgs& args);

// --meter alone, with `meter` as its default: em133, em235 or pm335, any case.
void add_meter_option(CLI::App& app, std::string& meter);

// --force-model: `what` is what the flag skips the identity check for.
void add_force_model_flag(CLI::App& app, bool& force, const std::string& what);

// --timeout alone, in seconds; 0 stands for not given.
void add_timeout_option(CLI::App& app, double& seconds);

// --json, for the commands whose output is the library's JSON.
void add_json_flag(CLI::App& app, bool& json);

}  // namespace tandrel_cli
