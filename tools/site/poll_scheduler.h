// The service's live polling: every interval each meter's live set is read
// by a bounded pool of workers, one session per meter. A meter is never
// polled twice at once (an interval that finds its poll still running counts
// as skipped), and a poll that outlives its deadline has its session closed
// from the scheduler's thread, which ends the read at once: a dead or slow
// meter holds one worker for at most its deadline and never delays the others
// beyond that; it is tried again at the next interval with a fresh session.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "meter_poll.h"
#include "poll_plan.h"
#include "service_log.h"
#include "site_state.h"

namespace tandrel_site {

struct PollSettings {
    std::chrono::milliseconds interval{10000};
    std::chrono::milliseconds deadline{5000};  // of one poll, the session's open included
    int workers = 8;
};

class PollScheduler {
public:
    PollScheduler(SiteState& state, PollSettings settings);
    // Waits for the workers: a poll inside a session's open ends by its time-out.
    ~PollScheduler() { stop(std::chrono::hours(1)); }
    PollScheduler(const PollScheduler&) = delete;
    PollScheduler& operator=(const PollScheduler&) = delete;

    // The meters to poll: meters that stay (same name and target) keep their
    // sessions, removed ones are closed (a poll in flight ends at once), new
    // ones are polled from the next interval on.
    void set_meters(const std::vector<PolledMeter>& meters);

    void start();

    // While a history collection reads a meter, the meters on its connection
    // ("HOST:PORT#n") are not polled: their polls would wait for a whole log
    // transfer. Such an interval counts as skipped. Calls nest per connection.
    void hold_connection(const std::string& connection, bool held);

    // Closes every session, a poll in flight included, and waits up to
    // `grace` for the workers. False when a worker is still inside a session's
    // open, which no close can end (its time-out does): the caller must then
    // leave the process without destroying the scheduler.
    bool stop(std::chrono::milliseconds grace);

private:
    struct Slot;
    using Clock = std::chrono::steady_clock;

    void timer_loop();
    void worker_loop();
    void schedule_all(std::vector<std::string>& skipped);
    void enforce_deadlines(Clock::time_point now);
    void poll(Slot& slot);
    void report(const Slot& slot, const PollOutcome& outcome, double seconds);

    SiteState& state_;
    const PollSettings settings_;
    std::mutex mutex_;
    std::condition_variable timer_cv_;
    std::condition_variable work_cv_;
    std::condition_variable idle_cv_;
    bool stopping_ = false;
    int running_workers_ = 0;
    std::map<std::string, std::shared_ptr<Slot>> slots_;
    std::multiset<std::string> held_;  // connections a collection holds
    std::deque<std::shared_ptr<Slot>> queue_;
    std::thread timer_;
    std::vector<std::thread> workers_;
};

}  // namespace tandrel_site
