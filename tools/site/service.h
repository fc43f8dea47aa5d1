// `tandrel serve`: the site's live values polled on an interval and served
// over HTTP (the Prometheus exposition, a health check and the outputs'
// pages) until SIGTERM, and with a store the site's logs collected on a
// schedule; SIGHUP reads the site file again.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "http_route.h"
#include "live_output.h"
#include "poll_plan.h"
#include "site_file.h"
#include "site_state.h"

namespace tandrel_site {

class PollScheduler;
class ScheduledCollection;

struct ServeSettings {
    std::string site_path;
    std::string listen = "127.0.0.1:9733";
    std::chrono::milliseconds interval{10000};
    // Of each request, and of a poll as a whole (the session's open included).
    std::chrono::milliseconds timeout{5000};
    int workers = 8;
    int per_host = 1;
    // History on a schedule: "" for none, else the store the site's logs are
    // collected into every `logs_every` (scheduled_collection.h).
    std::string db_target;
    std::chrono::milliseconds logs_every{15 * 60 * 1000};
};

struct ListenAddress {
    std::string host;
    int port = 0;  // 0: a free port, which the log names
};

// "127.0.0.1:9733", "[::1]:9733", "0.0.0.0:9733"; the port is required.
// Throws InputError.
ListenAddress parse_listen(const std::string& text);

class Service {
public:
    // Reads and checks the site file and the listen address: throws
    // InputError naming the first fault, having logged every bad line.
    explicit Service(const ServeSettings& settings);

    // Before run: the outputs hear of every poll, the routes join /metrics
    // and /healthz. The state is what a route's page may show.
    void add_output(LiveOutput& output) { state_.add_output(output); }
    void add_route(const HttpRoute& route) { routes_.push_back(route); }
    const SiteState& state() const { return state_; }

    // Checks the store and listens (throws std::runtime_error when it cannot,
    // before any poll), polls, collects and serves until SIGTERM or SIGINT.
    // Returns the exit code.
    int run();

private:
    SiteFile load_site() const;
    std::vector<PolledMeter> plan(const SiteFile& site) const;
    void reload(PollScheduler& scheduler, ScheduledCollection* collection);
    void start_line(int port) const;
    std::unique_ptr<ScheduledCollection> collection(PollScheduler& scheduler);

    ServeSettings settings_;
    ListenAddress listen_;
    SiteFile site_;
    std::vector<PolledMeter> meters_;
    SiteState state_;
    std::vector<HttpRoute> routes_;
};

}  // namespace tandrel_site
