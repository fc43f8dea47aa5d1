// The simulated meter the session tests open sessions on, and the small
// helpers they share: an open that must succeed, a read of V1's value text,
// and counts taken from the simulator's request log.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <future>
#include <memory>
#include <mutex>
#include <regex>
#include <string>
#include <vector>

#include "sim/simulator.h"
#include "tandrel.h"

namespace session_testing {

using tandrel_sim::Request;
using tandrel_sim::Simulator;

constexpr std::uint16_t V1 = 4352;
constexpr std::int32_t V1_RAW = 2305;

// A deterministic em235 on an ephemeral loopback port with V1 at 2305 raw.
inline std::unique_ptr<Simulator> start_em235() {
    auto sim = std::make_unique<Simulator>(tandrel_sim::Model::EM235,
                                           tandrel_sim::SimOptions::deterministic());
    sim->set_point_raw(V1, V1_RAW);
    sim->start();
    return sim;
}

// {"port":P,"timeout_ms":T} followed by `more` (",\"key\":value..." or "").
inline std::string options(const Simulator& sim, const std::string& more = "",
                           int timeout_ms = 2000) {
    return "{\"port\":" + std::to_string(sim.port()) + ",\"timeout_ms\":" +
           std::to_string(timeout_ms) + more + "}";
}

struct Opened {
    tandrel_session* session = nullptr;
    std::string err;
};

inline Opened open_session(const char* meter, const std::string& opts) {
    char err[256] = "";
    Opened o;
    o.session = tandrel_open("127.0.0.1", meter, opts.c_str(), err, sizeof err);
    o.err = err;
    return o;
}

struct Reading {
    int status = 0;
    std::string err;
    std::string value;  // V1's value as the document prints it; "" when absent
};

inline Reading read_v1(tandrel_session* s) {
    std::vector<char> out(4096);
    char err[256] = "";
    Reading r;
    r.status = tandrel_session_read_points(s, "4352", out.data(), static_cast<int>(out.size()),
                                           err, sizeof err);
    r.err = err;
    static const std::regex VALUE("\"name\":\"V1\",\"value\":([^,]+),");
    std::cmatch m;
    if (r.status > 0 && std::regex_search(out.data(), m, VALUE)) r.value = m[1];
    return r;
}

// How many requests of the log read `address`, on `unit` (-1: any).
inline long requests_at(const std::vector<Request>& log, std::uint16_t address, int unit = -1) {
    return std::count_if(log.begin(), log.end(), [&](const Request& r) {
        return r.address == address && (unit < 0 || r.unit_id == unit);
    });
}

// A hang guard, not a speed requirement: a call that a close or a release
// did not reach would wait for its time-out or for ever.
constexpr auto NO_HANG = std::chrono::seconds(20);

struct CallStatus {
    int status = 0;
    std::string err;
};

// A data-log read held in its output callback until released, so that the
// test acts while the call is known to be running.
class HeldRead {
public:
    explicit HeldRead(tandrel_session* s) : session_(s) {
        result_ = std::async(std::launch::async, [this] {
            char err[256] = "";
            const int status = tandrel_session_read_datalog(session_, 1, &HeldRead::on_line, this, err, sizeof err);
            return CallStatus{status, err};
        });
        std::unique_lock<std::mutex> lock(mutex_);
        cond_.wait(lock, [this] { return held_; });
    }
    ~HeldRead() { release(); }

    void release() {
        const std::lock_guard<std::mutex> lock(mutex_);
        released_ = true;
        cond_.notify_all();
    }
    // The call's result once it has returned; status -3 when it did not in time.
    CallStatus result() {
        release();
        if (result_.wait_for(NO_HANG) != std::future_status::ready) return {-3, "no return"};
        return result_.get();
    }

private:
    static int TANDREL_CALL on_line(const char*, void* user) {
        auto* self = static_cast<HeldRead*>(user);
        std::unique_lock<std::mutex> lock(self->mutex_);
        self->held_ = true;
        self->cond_.notify_all();
        self->cond_.wait(lock, [self] { return self->released_; });
        return 0;
    }

    tandrel_session* session_;
    std::mutex mutex_;
    std::condition_variable cond_;
    bool held_ = false;
    bool released_ = false;
    std::future<CallStatus> result_;
};

}  // namespace session_testing
