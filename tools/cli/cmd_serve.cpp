// tandrel serve SITE_FILE: the site's live values for Prometheus, MQTT and a
// status page, polled on an interval until SIGTERM, and with --db its history
// collected on a schedule; the work is the site layer's Service.
#include <CLI/CLI.hpp>
#include <chrono>
#include <cmath>
#include <memory>

#include "commands.h"
#include "mqtt_flags.h"
#include "service.h"
#include "service_log.h"
#include "status_page.h"

namespace tandrel_cli {
namespace {

struct ServeOptions {
    tandrel_site::ServeSettings settings;
    double live_every_s = 10;
    double timeout_s = 5;
    MqttFlags mqtt;
    double logs_every_s = 900;
};

// The library's log levels, which the MQTT output reports in, as the service's.
void service_log(int level, const std::string& message) {
    using tandrel_site::LogLevel;
    tandrel_site::log_line(level == TANDREL_LOG_ERROR     ? LogLevel::Error
                           : level == TANDREL_LOG_WARNING ? LogLevel::Warning
                                                          : LogLevel::Info,
                           message);
}

std::chrono::milliseconds milliseconds(double seconds) {
    return std::chrono::milliseconds(std::llround(seconds * 1000));
}

int run_serve(ServeOptions& options) {
    options.settings.interval = milliseconds(options.live_every_s);
    options.settings.timeout = milliseconds(options.timeout_s);
    options.settings.logs_every = milliseconds(options.logs_every_s);
    tandrel_site::Service service(options.settings);
    // A new output is one more line here.
    std::unique_ptr<tandrel_site::LiveOutput> mqtt = open_mqtt_output(options.mqtt, service_log);
    if (mqtt) service.add_output(*mqtt);
    const tandrel_site::SiteState& state = service.state();
    for (const auto& route : tandrel_site::status_page_routes([&state] { return state.snapshot(); }))
        service.add_route(route);
    return service.run();
}

}  // namespace

CommandRun declare_serve(CLI::App& parent) {
    auto options = std::make_shared<ServeOptions>();
    tandrel_site::ServeSettings& settings = options->settings;
    CLI::App* app = parent.add_subcommand(
        "serve", "Poll a site's meters on an interval and serve their values to Prometheus");
    app->add_option("SITE_FILE", settings.site_path,
                    "One meter per line: HOST[:PORT] [MODEL] [UNIT] [force-model] [name=TEXT]; "
                    "SIGHUP reads it again")
        ->required();
    app->add_option("--listen", settings.listen,
                    "HOST:PORT of /metrics and /healthz (a port of 0 picks a free one)")
        ->capture_default_str();
    app->add_option("--live-every", options->live_every_s, "Seconds between polls of each meter")
        ->capture_default_str()
        ->type_name("SECONDS")
        ->check(CLI::Range(0.1, 86400.0));
    app->add_option("-t,--timeout", options->timeout_s,
                    "Seconds a request, and a meter's poll as a whole, may take")
        ->capture_default_str()
        ->type_name("SECONDS")
        ->check(CLI::Range(0.1, 3600.0));
    app->add_option("--workers", settings.workers, "Meters polled at once")
        ->capture_default_str()
        ->check(CLI::Range(1, 256));
    app->add_option("--per-host", settings.per_host,
                    "TCP connections to one HOST:PORT (a gateway); its units take turns on them")
        ->capture_default_str()
        ->check(CLI::Range(1, 64));
    add_mqtt_flags(*app, options->mqtt);
    app->add_option("--db", settings.db_target,
                    "Collect the site's logs into this store (a SQLite file or a PostgreSQL "
                    "connection string), as `collect --db` does, every --logs-every")
        ->type_name("TARGET");
    app->add_option("--logs-every", options->logs_every_s,
                    "Seconds between collections of the logs into --db (the first at start)")
        ->capture_default_str()
        ->type_name("SECONDS")
        ->check(CLI::Range(1.0, 604800.0));
    app->footer("Runs until SIGTERM or Ctrl-C (exit status 0). A bad site file, --listen or a\n"
                "port in use, or a store --db cannot open, stops it before anything starts\n"
                "(exit status 2, or 1).\n"
                "Example: tandrel serve /etc/tandrel/site.txt --listen 127.0.0.1:9733");
    return [options] { return run_serve(*options); };
}

}  // namespace tandrel_cli
