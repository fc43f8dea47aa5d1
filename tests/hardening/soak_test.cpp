// Concurrency under load: 64 threads call every function at once against 8
// simulated meters for TANDREL_SOAK_SECONDS (default 30). Every result must be
// byte-identical to the single-threaded one, the log callback (installed once;
// Misuse swaps it while calls run) must never be
// entered by two threads at once, and no descriptor or memory may be left.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "small_meter.h"

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define HARDENING_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define HARDENING_SANITIZED 1
#endif
#endif

namespace hardening {
namespace {

constexpr int THREADS = 64;
constexpr int METERS = 8;

int soak_seconds() {
    const char* text = std::getenv("TANDREL_SOAK_SECONDS");
    const int seconds = text ? std::atoi(text) : 30;
    return seconds > 0 ? seconds : 30;
}

// Serialisation of the log callback, watched from inside it.
std::atomic<int> inside_log{0};
std::atomic<int> log_overlaps{0};
std::atomic<long> log_messages{0};

void TANDREL_CALL watch_log(int, const char* message, void*) {
    if (inside_log.fetch_add(1) != 0) log_overlaps.fetch_add(1);
    volatile std::size_t length = std::string(message).size();  // some work inside the window
    (void)length;
    log_messages.fetch_add(1);
    inside_log.fetch_sub(1);
}

// One call on one of the meters.
struct Work {
    const MeterCall* call;
    std::string host;
    const char* meter;
};

// The short forms use port 502 and the default time-out, as the meters here do.
Outcome run(const Work& w, const std::string& path) {
    Args a;
    a.host = w.host.c_str();
    a.meter = w.meter;
    a.options = "{\"timeout_ms\":10000}";
    a.path = path.c_str();
    Outcome o = run_call(*w.call, a);
    o.output = mask_timestamps(o.output);
    return o;
}

TEST(Soak, SixtyFourThreadsMatchTheSingleThreadedResults) {
    const TempDir dir;
    std::vector<std::unique_ptr<tandrel_sim::Simulator>> meters;
    // Every call on every meter that fits it: the bulk exports each need their model.
    std::vector<Work> work;
    for (int m = 0; m < METERS; ++m) {
        const char* model = m % 2 == 0 ? "em133" : "em235";
        const std::string host = "127.0.92." + std::to_string(m + 1);
        meters.push_back(start_meter(m % 2 == 0 ? Model::EM133 : Model::EM235, host, 502));
        for (const MeterCall& c : meter_calls()) {
            if (!c.only_model || c.only_model == std::string(model)) work.push_back({&c, host, model});
        }
    }
    tandrel_set_log_callback(watch_log, nullptr);
    std::vector<Outcome> baseline;
    for (const Work& w : work) {
        baseline.push_back(run(w, dir.file("baseline")));
        ASSERT_GE(baseline.back().status, 0) << w.call->name << ": " << baseline.back().err;
    }
    std::mutex mutex;
    std::vector<std::string> mismatches;
    // Each thread walks the work from its own starting point.
    const auto run_threads = [&](int seconds) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        std::vector<std::thread> threads;
        for (int t = 0; t < THREADS; ++t) {
            threads.emplace_back([&, t] {
                const std::string path = dir.file("t" + std::to_string(t));
                for (std::size_t k = std::size_t(t) * 7; std::chrono::steady_clock::now() < until; ++k) {
                    const Work& w = work[k % work.size()];
                    const Outcome o = run(w, path);
                    const Outcome& want = baseline[k % work.size()];
                    if (o.status != want.status || o.err != want.err || o.output != want.output) {
                        const std::lock_guard<std::mutex> lock(mutex);
                        mismatches.push_back(std::string(w.call->name) + " on " + w.host + ": '" + o.err + "'");
                    }
                }
            });
        }
        for (auto& t : threads) t.join();
    };
    const auto quiet = [&] {
        return std::all_of(meters.begin(), meters.end(), [](const auto& m) { return connections_closed(*m); });
    };
    // A short first run lets the allocator settle its per-thread arenas
    // before memory is measured.
    run_threads(2);
    ASSERT_TRUE(quiet());
    const int fds_before = open_descriptor_count();
    [[maybe_unused]] const long rss_before = resident_kib();

    run_threads(soak_seconds());

    ASSERT_TRUE(quiet()) << "connections left open";
    tandrel_set_log_callback(nullptr, nullptr);
    EXPECT_TRUE(mismatches.empty()) << mismatches.size() << " mismatches, the first: " << mismatches.front();
    EXPECT_EQ(log_overlaps.load(), 0) << "log callback entered by two threads at once";
    EXPECT_GT(log_messages.load(), 0);
    if (fds_before >= 0) {
        EXPECT_EQ(open_descriptor_count(), fds_before) << "descriptors leaked";
    }
#ifndef HARDENING_SANITIZED
    if (rss_before > 0) {
        EXPECT_LT(resident_kib() - rss_before, 16 * 1024) << "resident memory grew";
    }
#endif
}

}  // namespace
}  // namespace hardening
