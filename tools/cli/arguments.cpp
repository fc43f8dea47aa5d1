// Command-line arguments to the library's host, options and point list texts.
#include "arguments.h"

#include <CLI/CLI.hpp>
#include <cctype>
#include <cmath>
#include <cstdlib>

#include "site_names.h"

namespace tandrel_cli {
namespace {

bool all_of(const std::string& text, size_t from, int (*test)(int)) {
    if (from >= text.size()) return false;
    for (size_t i = from; i < text.size(); ++i)
        if (!test(static_cast<unsigned char>(text[i]))) return false;
    return true;
}

bool is_number(const std::string& item) {
    if (item.size() > 2 && item[0] == '0' && (item[1] == 'x' || item[1] == 'X'))
        return all_of(item, 2, isxdigit);
    size_t digits = !item.empty() && (item[0] == '-' || item[0] == '+') ? 1 : 0;
    return all_of(item, digits, isdigit);
}

CLI::Option* meter_option(CLI::App& app, std::string& meter, const std::string& help) {
    return app.add_option("-m,--meter", meter, "Meter model: " + model_names_text() + help)
        ->transform(CLI::IsMember(model_names(), CLI::ignore_case));
}

std::string quoted(const std::string& name) {
    std::string out = "\"";
    for (char c : name) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

}  // namespace

Target resolve_target(const ConnectionArgs& args) {
    Endpoint endpoint = split_host_port(args.host);
    if (endpoint.port > 0 && args.port > 0 && endpoint.port != args.port)
        throw UsageError("port " + std::to_string(endpoint.port) + " in '" + args.host +
                         "' contradicts --port " + std::to_string(args.port));
    int port = endpoint.port > 0 ? endpoint.port : args.port;
    std::string options = options_text(port, args.unit, timeout_ms(args.timeout_s));
    return Target{endpoint.host, args.meter, options, endpoint_text(endpoint.host, port),
                  !args.force_model};
}

int timeout_ms(double seconds) {
    if (seconds == 0) return 0;
    double ms = std::round(seconds * 1000.0);
    if (!(ms >= 100 && ms <= 3600000)) throw UsageError("--timeout must be 0.1-3600 seconds");
    return static_cast<int>(ms);
}

std::string host_on_port_502(const std::string& text, const char* command) {
    Endpoint endpoint = split_host_port(text);
    if (endpoint.port != 0 && endpoint.port != 502)
        throw UsageError(std::string(command) + " always connects to port 502, not " +
                         std::to_string(endpoint.port));
    return endpoint.host;
}

std::string point_list_text(const std::vector<std::string>& points) {
    std::string text;
    for (const auto& item : points) {
        if (!text.empty()) text += ",";
        text += is_number(item) ? item : quoted(item);
    }
    return text;
}

void add_meter_option(CLI::App& app, std::string& meter) {
    meter_option(app, meter, "")->capture_default_str();
}

void add_force_model_flag(CLI::App& app, bool& force, const std::string& what) {
    app.add_flag("--force-model", force,
                 "Read the meter as " + what + " without checking the model its identity reports");
}

void add_json_flag(CLI::App& app, bool& json) {
    app.add_flag("--json", json, "Print the library's JSON instead of tables");
}

void add_connection_options(CLI::App& app, ConnectionArgs& args) {
    app.add_option("HOST", args.host, "Meter address: HOST or HOST:PORT")->required();
    CLI::Option* meter = meter_option(app, args.meter, " (default: the model the meter reports)");
    add_force_model_flag(app, args.force_model, "the --meter model");
    app.get_option("--force-model")->needs(meter);
    app.add_option("-p,--port", args.port, "TCP port (default 502)")->check(CLI::Range(1, 65535));
    app.add_option("-u,--unit", args.unit, "Modbus unit id (default 1)")->check(CLI::Range(0, 255));
    add_timeout_option(app, args.timeout_s);
}

void add_timeout_option(CLI::App& app, double& seconds) {
    app.add_option("-t,--timeout", seconds, "Time-out in seconds (default 30)")
        ->type_name("SECONDS")
        ->check(CLI::Range(0.1, 3600.0));
}

}  // namespace tandrel_cli
