// The interval timer, the worker pool and the deadlines; see poll_scheduler.h.
#include "poll_scheduler.h"

#include <algorithm>
#include <cstdio>

namespace tandrel_site {

namespace {

enum class Closed { No, Deadline, Gone };  // why a poll's session was closed under it

bool same_meter(const PolledMeter& a, const PolledMeter& b) {
    return a.name == b.name && a.target.host == b.target.host && a.target.meter == b.target.meter &&
           a.target.options == b.target.options && a.target.check_model == b.target.check_model;
}

}  // namespace

struct PollScheduler::Slot {
    explicit Slot(const PolledMeter& polled) : meter(polled) {}
    const PolledMeter meter;
    // The polling worker's alone while busy; the session is opened afresh
    // after a failed poll, on the site file's target.
    std::unique_ptr<MeterSession> session;
    MeterTarget target;
    // Guarded by the scheduler's mutex: what a deadline or a stop closes.
    tandrel_session* handle = nullptr;
    bool busy = false;     // queued or polling
    bool started = false;  // polling: the deadline runs
    Closed closed = Closed::No;
    Clock::time_point deadline;
};

PollScheduler::PollScheduler(SiteState& state, PollSettings settings)
    : state_(state), settings_(settings) {}

void PollScheduler::set_meters(const std::vector<PolledMeter>& meters) {
    std::vector<std::shared_ptr<Slot>> dropped;  // closed outside the lock, when idle
    std::lock_guard<std::mutex> lock(mutex_);
    std::map<std::string, std::shared_ptr<Slot>> next;
    for (const PolledMeter& meter : meters) {
        auto known = slots_.find(meter.name);
        next[meter.name] = known != slots_.end() && same_meter(known->second->meter, meter)
                               ? known->second
                               : std::make_shared<Slot>(meter);
    }
    for (auto& [name, slot] : slots_) {
        auto kept = next.find(name);
        if (kept != next.end() && kept->second == slot) continue;
        if (slot->started && slot->handle != nullptr) tandrel_close(slot->handle);
        slot->closed = Closed::Gone;
        dropped.push_back(slot);
    }
    queue_.erase(std::remove_if(queue_.begin(), queue_.end(),
                                [](const auto& slot) { return slot->closed == Closed::Gone; }),
                 queue_.end());
    slots_.swap(next);
}

void PollScheduler::start() {
    std::lock_guard<std::mutex> lock(mutex_);
    running_workers_ = settings_.workers;
    for (int i = 0; i < settings_.workers; ++i) workers_.emplace_back([this] { worker_loop(); });
    timer_ = std::thread([this] { timer_loop(); });
}

void PollScheduler::hold_connection(const std::string& connection, bool held) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (held)
        held_.insert(connection);
    else if (auto found = held_.find(connection); found != held_.end())
        held_.erase(found);
}

bool PollScheduler::stop(std::chrono::milliseconds grace) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        queue_.clear();
        for (auto& entry : slots_) {
            Slot& slot = *entry.second;
            if (!slot.started) continue;
            slot.closed = Closed::Gone;
            if (slot.handle != nullptr) tandrel_close(slot.handle);
        }
    }
    timer_cv_.notify_all();
    work_cv_.notify_all();
    if (timer_.joinable()) timer_.join();
    {
        std::unique_lock<std::mutex> lock(mutex_);
        if (!idle_cv_.wait_for(lock, grace, [this] { return running_workers_ == 0; }))
            return false;
    }
    for (std::thread& worker : workers_) worker.join();
    workers_.clear();
    std::lock_guard<std::mutex> lock(mutex_);
    slots_.clear();  // the idle sessions close here
    return true;
}

void PollScheduler::timer_loop() {
    Clock::time_point next = Clock::now();
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stopping_) {
        Clock::time_point now = Clock::now();
        if (now >= next) {
            std::vector<std::string> skipped;
            schedule_all(skipped);
            // After a suspend or a stall, the next interval starts now: no burst of polls.
            next = std::max(next + settings_.interval, now);
            lock.unlock();
            for (const std::string& name : skipped)
                state_.update(name, [](MeterState& meter) { ++meter.skipped; });
            lock.lock();
            continue;
        }
        enforce_deadlines(now);
        timer_cv_.wait_until(lock, std::min(next, now + std::chrono::milliseconds(100)));
    }
}

void PollScheduler::schedule_all(std::vector<std::string>& skipped) {
    for (auto& [name, slot] : slots_) {
        if (slot->busy || held_.count(slot->meter.connection) != 0) {
            skipped.push_back(name);
            continue;
        }
        slot->busy = true;
        queue_.push_back(slot);
    }
    work_cv_.notify_all();
}

void PollScheduler::enforce_deadlines(Clock::time_point now) {
    for (auto& entry : slots_) {
        Slot& slot = *entry.second;
        if (!slot.started || slot.closed != Closed::No || now < slot.deadline) continue;
        slot.closed = Closed::Deadline;
        // A poll still in the session's open is closed when the open returns.
        if (slot.handle != nullptr) tandrel_close(slot.handle);
    }
}

void PollScheduler::worker_loop() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        work_cv_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
        if (stopping_) break;
        std::shared_ptr<Slot> slot = queue_.front();
        queue_.pop_front();
        if (held_.count(slot->meter.connection) != 0) {  // a collection took it since
            slot->busy = false;
            lock.unlock();
            state_.update(slot->meter.name, [](MeterState& meter) { ++meter.skipped; });
            lock.lock();
            continue;
        }
        slot->started = true;
        slot->deadline = Clock::now() + settings_.deadline;
        lock.unlock();
        poll(*slot);
        lock.lock();
        slot->busy = slot->started = false;
        if (slot->closed == Closed::Deadline) slot->closed = Closed::No;
    }
    --running_workers_;
    idle_cv_.notify_all();
}

void PollScheduler::poll(Slot& slot) {
    const Clock::time_point start = Clock::now();
    if (!slot.session) {
        slot.session = std::make_unique<MeterSession>();
        slot.target = slot.meter.target;
    }
    PollOutcome outcome = poll_meter(*slot.session, slot.target, [&](tandrel_session* handle) {
        std::lock_guard<std::mutex> lock(mutex_);
        slot.handle = handle;
        if (slot.closed != Closed::No) tandrel_close(handle);
    });
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    Closed closed;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closed = slot.closed;
        if (!outcome.ok || closed != Closed::No) slot.handle = nullptr;
    }
    if (!outcome.ok || closed != Closed::No) slot.session.reset();
    if (closed == Closed::Gone) return;  // the meter left the site, or the service stops
    if (closed == Closed::Deadline) {
        outcome.ok = false;
        char text[80];
        std::snprintf(text, sizeof text, "no answer within the poll's deadline of %g s",
                      std::chrono::duration<double>(settings_.deadline).count());
        outcome.error = text;
    }
    report(slot, outcome, seconds);
}

void PollScheduler::report(const Slot& slot, const PollOutcome& outcome, double seconds) {
    bool was_up = false;
    bool first = false;
    state_.update(slot.meter.name, [&](MeterState& meter) {
        was_up = meter.up;
        first = meter.polls == 0;
        apply_poll(meter, outcome, now_unix_ms(), seconds);
    });
    if (outcome.ok && !was_up)
        log_line(LogLevel::Info, slot.meter.name + " is up: " + outcome.identity.model +
                                     (outcome.identity.serial.empty() ? "" : ", serial ") +
                                     outcome.identity.serial);
    if (!outcome.ok && (was_up || first))
        log_line(LogLevel::Warning, slot.meter.name + " is down: " + outcome.error);
}

}  // namespace tandrel_site
