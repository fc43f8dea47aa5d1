// The service's start, signals and stop; see service.h.
#include "service.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "http_listener.h"
#include "poll_scheduler.h"
#include "process_stats.h"
#include "prometheus_exposition.h"
#include "scheduled_collection.h"
#include "service_log.h"
#include "signal_wait.h"
#include "store_target.h"

namespace tandrel_site {
namespace {

// How long a stop waits for the workers: within systemd's and the
// service's promise of 5 s, with room for the listener.
constexpr std::chrono::milliseconds STOP_GRACE{4000};

bool is_loopback(const std::string& host) {
    return host.rfind("127.", 0) == 0 || host == "::1" || host == "localhost";
}

std::vector<MeterState> states_of(const std::vector<PolledMeter>& meters) {
    std::vector<MeterState> states;
    for (const PolledMeter& meter : meters) {
        MeterState state;
        state.name = meter.name;
        state.address = meter.target.address;
        state.unit_id = meter.unit;
        states.push_back(state);
    }
    return states;
}

std::string seconds_text(std::chrono::milliseconds duration) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", std::chrono::duration<double>(duration).count());
    return text;
}

}  // namespace

ListenAddress parse_listen(const std::string& text) {
    const size_t colon = text.rfind(':');
    if (colon != std::string::npos && text.substr(colon + 1) == "0") {
        Endpoint host = split_host_port(text.substr(0, colon));
        if (host.port == 0) return ListenAddress{host.host, 0};
    }
    Endpoint endpoint = split_host_port(text);
    if (endpoint.port == 0) throw InputError("--listen " + text + ": expected HOST:PORT");
    return ListenAddress{endpoint.host, endpoint.port};
}

Service::Service(const ServeSettings& settings)
    : settings_(settings),
      listen_(parse_listen(settings.listen)),
      site_(load_site()),
      meters_(plan(site_)) {}

// Every bad line but the last is logged; the last is the exception's message.
SiteFile Service::load_site() const {
    const std::string& path = settings_.site_path;
    SiteFile site = parse_site_file(read_site_file(path));
    std::string message;
    for (const SiteError& error : site.errors) {
        if (!message.empty()) log_line(LogLevel::Error, message);
        message = path + (error.line > 0 ? ":" + std::to_string(error.line) : "") + ": " +
                  error.message;
    }
    if (!message.empty()) throw InputError(message);
    return site;
}

std::vector<PolledMeter> Service::plan(const SiteFile& site) const {
    return poll_plan(site.meters, settings_.per_host, static_cast<int>(settings_.timeout.count()));
}

void Service::reload(PollScheduler& scheduler, ScheduledCollection* collection) {
    try {
        site_ = load_site();
    } catch (const std::exception& e) {
        log_line(LogLevel::Error, std::string(e.what()) + "; still polling the meters read before");
        return;
    }
    meters_ = plan(site_);
    state_.set_meters(states_of(meters_));
    scheduler.set_meters(meters_);
    if (collection != nullptr) collection->set_site(site_);
    log_line(LogLevel::Info, "reloaded " + settings_.site_path + ": " +
                                 std::to_string(meters_.size()) + " meter(s)");
}

void Service::start_line(int port) const {
    std::string text = "polling " + std::to_string(meters_.size()) + " meter(s) every " +
                       seconds_text(settings_.interval) + " s; metrics on http://" +
                       endpoint_text(listen_.host, port) + "/metrics" +
                       (is_loopback(listen_.host) ? "" : " (listening beyond loopback)");
    if (!settings_.db_target.empty())
        text += "; history into " + redacted_target(settings_.db_target) + " every " +
                seconds_text(settings_.logs_every) + " s";
    log_line(LogLevel::Info, text);
}

// The collections share the polls' connections (CollectionSettings::per_host)
// and workers' count, so that a gateway never sees more than --per-host
// connections from the service.
std::unique_ptr<ScheduledCollection> Service::collection(PollScheduler& scheduler) {
    if (settings_.db_target.empty()) return nullptr;
    auto collection = std::make_unique<ScheduledCollection>(
        state_, scheduler,
        CollectionSettings{settings_.db_target, settings_.logs_every,
                           static_cast<int>(settings_.timeout.count()), settings_.workers,
                           settings_.per_host});
    collection->set_site(site_);
    return collection;
}

int Service::run() {
    SignalWait signals;  // before any thread, so that each one leaves the signals to us
    if (!settings_.db_target.empty()) check_store(settings_.db_target);
    const bool collects = !settings_.db_target.empty();
    std::vector<HttpRoute> routes = {
        {"/metrics", EXPOSITION_CONTENT_TYPE,
         [this, collects] {
             return render_exposition(state_.snapshot(), read_process_stats(), collects);
         }},
        {"/healthz", "text/plain; charset=utf-8", [] { return std::string("ok\n"); }}};
    routes.insert(routes.end(), routes_.begin(), routes_.end());
    HttpListener listener(routes);
    const int port = listener.bind(listen_.host, listen_.port);
    state_.set_meters(states_of(meters_));
    PollScheduler scheduler(state_, PollSettings{settings_.interval, settings_.timeout,
                                                 settings_.workers});
    scheduler.set_meters(meters_);
    std::unique_ptr<ScheduledCollection> history = collection(scheduler);
    scheduler.start();
    if (history) history->start();
    listener.start();
    start_line(port);
    while (signals.next() == ServiceSignal::Reload) reload(scheduler, history.get());
    log_line(LogLevel::Info, "stopping");
    const auto deadline = std::chrono::steady_clock::now() + STOP_GRACE;
    listener.stop();
    // Both stops run at once: the collection's flag first, as a poll may wait
    // for a connection its transfer holds.
    if (history) history->request_stop();
    if (!scheduler.stop(STOP_GRACE) || (history && !history->stop(deadline))) {
        // Only a connection attempt, or a collection's read of a silent meter,
        // outlives the closes, until its time-out; committed batches are kept.
        log_line(LogLevel::Warning, "a meter's read is still running; leaving it");
        std::_Exit(0);
    }
    log_line(LogLevel::Info, "stopped");
    return 0;
}

}  // namespace tandrel_site
