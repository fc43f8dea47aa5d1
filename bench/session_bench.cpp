// Live polls with and without a session, against the simulator on loopback
// with every answer delayed by a simulated network latency (5 ms: a LAN
// gateway; 300 ms: a cellular link): the requests and seconds per poll. A
// plain poll reads the setup before its values on a new connection; a
// session poll sends the live requests only. Fails when a session poll does
// not send at least 4x fewer requests. Prints a Markdown table.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "sim/simulator.h"
#include "tandrel.h"

namespace {

using Clock = std::chrono::steady_clock;

struct PerPoll {
    double requests = 0;
    double seconds = 0;
};

struct Meter {
    tandrel_sim::Simulator sim{tandrel_sim::Model::EM235, tandrel_sim::SimOptions::deterministic()};
    std::string options;

    explicit Meter(int latency_ms) {
        tandrel_sim::Fault latency;
        latency.action = tandrel_sim::FaultAction::Delay;
        latency.delay_ms = latency_ms;
        latency.once = false;
        sim.add_fault(latency);
        sim.start();
        options = "{\"port\":" + std::to_string(sim.port()) + ",\"timeout_ms\":10000}";
    }
};

// Runs `poll` n times and averages what the meter saw and the time taken.
template <typename Poll>
PerPoll measure(Meter& meter, int n, Poll&& poll) {
    const std::uint64_t before = meter.sim.requests_served();
    const Clock::time_point start = Clock::now();
    for (int i = 0; i < n; ++i) {
        if (!poll()) return {-1, -1};
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return {static_cast<double>(meter.sim.requests_served() - before) / n, seconds / n};
}

bool compare(int latency_ms, int polls) {
    Meter meter(latency_ms);
    std::vector<char> out(1 << 16);
    char err[256] = "";
    const PerPoll plain = measure(meter, polls, [&] {
        return tandrel_read_live_ex("127.0.0.1", "em235", meter.options.c_str(), out.data(),
                                    static_cast<int>(out.size()), err, sizeof err) > 0;
    });
    tandrel_session* session = nullptr;
    const PerPoll open = measure(meter, 1, [&] {
        session = tandrel_open("127.0.0.1", "em235", meter.options.c_str(), err, sizeof err);
        return session != nullptr;
    });
    const PerPoll polled = measure(meter, polls, [&] {
        return tandrel_session_read_live(session, out.data(), static_cast<int>(out.size()), err,
                                         sizeof err) > 0;
    });
    tandrel_close(session);
    if (plain.requests <= 0 || polled.requests <= 0 || open.requests <= 0) {
        std::printf("latency %d ms: a call failed: %s\n", latency_ms, err);
        return false;
    }
    const double fewer = plain.requests / polled.requests;
    std::printf("| %d ms | %d | %.0f | %.3f | %.0f | %.3f | %.0f, %.3f | %.1fx | %.1fx |\n",
                latency_ms, polls, plain.requests, plain.seconds, polled.requests, polled.seconds,
                open.requests, open.seconds, fewer, plain.seconds / polled.seconds);
    return fewer >= 4;
}

}  // namespace

int main() {
    std::printf(
        "| latency | polls | plain: requests per poll | plain: s per poll | session: requests per "
        "poll after the open | session: s per poll | the open: requests, s | fewer requests | "
        "faster |\n|---|---|---|---|---|---|---|---|---|\n");
    const bool lan = compare(5, 20);
    const bool cellular = compare(300, 3);
    return lan && cellular ? 0 : 1;
}
