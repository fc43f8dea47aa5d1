// The service's history on a schedule: the site's logs collected into a store
// every interval, by the code of `collect --db`, on one background thread. A
// collection still running when the next is due makes that one skipped (and
// logged): collections never overlap. The sessions take the connection
// numbers of the polls, so the per-host limit holds for both together.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "collect_report.h"
#include "meter_state.h"
#include "poll_scheduler.h"
#include "site_file.h"
#include "site_state.h"

namespace tandrel_site {

struct CollectionSettings {
    std::string db_target;
    std::chrono::milliseconds every{15 * 60 * 1000};
    int timeout_ms = 0;  // of each request
    int jobs = 8;        // meters read at once
    int per_host = 1;    // as the polls have it
};

// Opens the store once and closes it: throws std::runtime_error with the
// store's message (no password in it) when the service could not collect.
void check_store(const std::string& db_target);

// The collection's outcome in the meter's state: a finished or failed
// collection counts, a stopped one only adds what it stored.
void apply_collection(MeterState& meter, const MeterReport& report, std::int64_t now_ms);

class ScheduledCollection {
public:
    ScheduledCollection(SiteState& state, PollScheduler& polls, CollectionSettings settings);
    ~ScheduledCollection();
    ScheduledCollection(const ScheduledCollection&) = delete;
    ScheduledCollection& operator=(const ScheduledCollection&) = delete;

    // The meters of the next collection (one running keeps its own).
    void set_site(const SiteFile& site);

    // The first collection starts at once, then one every interval.
    void start();

    // Tells a collection in hand to stop, without waiting.
    void request_stop();

    // Stops a collection in hand (the batches it committed stay) and waits
    // for the thread until `deadline`. False when it is still inside a
    // library call then: the caller must leave without destroying this.
    bool stop(std::chrono::steady_clock::time_point deadline);

private:
    class Observer;
    using Clock = std::chrono::steady_clock;

    void loop();
    void collect_once();
    void skip_past_due();

    SiteState& state_;
    PollScheduler& polls_;
    const CollectionSettings settings_;
    std::mutex mutex_;
    std::condition_variable cv_;
    bool stopping_ = false;
    bool finished_ = false;
    std::atomic<bool> stop_{false};
    SiteFile site_;
    Clock::time_point next_;  // the collection thread's alone
    std::thread thread_;
};

}  // namespace tandrel_site
