// The collection thread, its skips and what each meter's collection changes
// in the site's state; see scheduled_collection.h.
#include "scheduled_collection.h"

#include <cstdio>
#include <map>

#include "collect_site.h"
#include "poll_plan.h"
#include "service_log.h"
#include "store.h"

namespace tandrel_site {
namespace {

std::string failure_text(const MeterReport& report) {
    return (report.failed_file.empty() ? "" : report.failed_file + ": ") + report.message;
}

// "3 of 4 meter(s) in 12.5 s, 120 new records, 4 new events"
std::string summary_text(const std::vector<MeterReport>& reports, double seconds) {
    MeterReport total;
    size_t complete = 0;
    for (const MeterReport& report : reports) {
        complete += report.status == MeterStatus::Ok;
        total.new_records += report.new_records;
        total.new_events += report.new_events;
    }
    char text[64];
    std::snprintf(text, sizeof text, " of %zu meter(s) in %.1f s, ", reports.size(), seconds);
    return std::to_string(complete) + text + stored_text(total);
}

}  // namespace

void check_store(const std::string& db_target) { open_store(db_target)->close(); }

void apply_collection(MeterState& meter, const MeterReport& report, std::int64_t now_ms) {
    meter.stored_records += static_cast<std::uint64_t>(report.new_records + report.new_events);
    if (report.status != MeterStatus::Ok && report.status != MeterStatus::Failed) return;
    const bool ok = report.status == MeterStatus::Ok;
    ++meter.collections;
    meter.collection_failures += !ok;
    meter.last_collection_ms = now_ms;
    meter.last_collection_ok = ok;
    meter.last_collection_text = ok ? stored_text(report) : failure_text(report);
}

// Tells the site's state of each meter, and keeps the polls off the
// connection a meter's collection holds: a poll would wait there for a whole
// log transfer, holding a worker and missing its deadline.
class ScheduledCollection::Observer : public CollectObserver {
public:
    Observer(ScheduledCollection& owner, const std::vector<SiteMeter>& meters) : owner_(owner) {
        for (const PolledMeter& polled : poll_plan(meters, owner.settings_.per_host, 0))
            connections_[polled.name] = polled.connection;
    }
    void meter_started(int, const SiteMeter& meter) override {
        owner_.polls_.hold_connection(connections_.at(polled_name(meter)), true);
    }
    void step_started(int, const std::string&, bool) override {}
    void step_progress(int, int, int) override {}
    void meter_finished(int, const MeterReport& report) override {
        const std::string name = polled_name(report.meter);
        owner_.polls_.hold_connection(connections_.at(name), false);
        owner_.state_.update(name, [&](MeterState& meter) {
            apply_collection(meter, report, now_unix_ms());
        });
        if (report.status == MeterStatus::Failed)
            log_line(LogLevel::Warning, name + ": history not collected: " + failure_text(report));
    }
    void waiting() override { owner_.skip_past_due(); }

private:
    ScheduledCollection& owner_;
    std::map<std::string, std::string> connections_;  // by meter name
};

ScheduledCollection::ScheduledCollection(SiteState& state, PollScheduler& polls,
                                         CollectionSettings settings)
    : state_(state), polls_(polls), settings_(std::move(settings)) {}

ScheduledCollection::~ScheduledCollection() {
    request_stop();
    if (thread_.joinable()) thread_.join();
}

void ScheduledCollection::set_site(const SiteFile& site) {
    std::lock_guard<std::mutex> lock(mutex_);
    site_ = site;
}

void ScheduledCollection::start() {
    next_ = Clock::now();
    thread_ = std::thread([this] { loop(); });
}

void ScheduledCollection::request_stop() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = stop_ = true;
    }
    cv_.notify_all();
}

bool ScheduledCollection::stop(Clock::time_point deadline) {
    request_stop();
    std::unique_lock<std::mutex> lock(mutex_);
    if (!thread_.joinable()) return true;
    if (!cv_.wait_until(lock, deadline, [this] { return finished_; })) return false;
    lock.unlock();
    thread_.join();
    return true;
}

void ScheduledCollection::loop() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!cv_.wait_until(lock, next_, [this] { return stopping_; })) {
        next_ += settings_.every;
        lock.unlock();
        collect_once();
        skip_past_due();
        lock.lock();
    }
    finished_ = true;
    cv_.notify_all();
}

void ScheduledCollection::collect_once() {
    SiteFile site;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        site = site_;
    }
    Observer observer(*this, site.meters);
    CollectOptions options{"", settings_.db_target, settings_.jobs, settings_.timeout_ms,
                           settings_.per_host};
    const Clock::time_point start = Clock::now();
    try {
        std::vector<MeterReport> reports = collect_site(site, options, observer, stop_);
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        if (!stop_) log_line(LogLevel::Info, "history collected from " + summary_text(reports, seconds));
    } catch (const std::exception& e) {  // the store could not be opened this time
        log_line(LogLevel::Error, std::string("history not collected: ") + e.what());
    }
}

// From the collection thread: every time that came while it still ran.
void ScheduledCollection::skip_past_due() {
    if (stop_) return;
    for (const Clock::time_point now = Clock::now(); next_ <= now; next_ += settings_.every)
        log_line(LogLevel::Warning,
                 "history collection skipped: the previous one is still running");
}

}  // namespace tandrel_site
