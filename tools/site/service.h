// `tandrel serve`: the site's live values polled on an interval and served
// over HTTP (the Prometheus exposition, a health check and the outputs'
// pages) until SIGTERM; SIGHUP reads the site file again.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "http_route.h"
#include "live_output.h"
#include "poll_plan.h"
#include "site_state.h"

namespace tandrel_site {

class PollScheduler;

struct ServeSettings {
    std::string site_path;
    std::string listen = "127.0.0.1:9733";
    std::chrono::milliseconds interval{10000};
    // Of each request, and of a poll as a whole (the session's open included).
    std::chrono::milliseconds timeout{5000};
    int workers = 8;
    int per_host = 1;
    // History on a schedule (--db, --logs-every) joins here: the collection
    // code of `collect --db` run for the site between polls, on the meters'
    // own sessions, so that the per-host limit holds for it too.
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

    // Listens (throws std::runtime_error when it cannot, before any poll),
    // polls and serves until SIGTERM or SIGINT. Returns the exit code.
    int run();

private:
    std::vector<PolledMeter> load_site() const;
    void reload(PollScheduler& scheduler);

    ServeSettings settings_;
    ListenAddress listen_;
    std::vector<PolledMeter> meters_;
    SiteState state_;
    std::vector<HttpRoute> routes_;
};

}  // namespace tandrel_site
