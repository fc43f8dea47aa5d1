// Concurrency under load: 64 threads call every function at once against 8
// simulated meters for TANDREL_SOAK_SECONDS (default 30). Every result must be
// byte-identical to the single-threaded one, the log callback must never be
// entered by two threads at once, and no descriptor or memory may be left.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>

#include "hardening_support.h"

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define HARDENING_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define HARDENING_SANITIZED 1
#endif
#endif

namespace hardening {
namespace {

using tandrel_sim::Model;

constexpr int THREADS = 64;
constexpr int METERS = 8;

int soak_seconds() {
    const char* text = std::getenv("TANDREL_SOAK_SECONDS");
    const int seconds = text ? std::atoi(text) : 30;
    return seconds > 0 ? seconds : 30;
}

// The rest of the exported functions, beside the meter calls of the matrix.
Outcome list_points(const Target& t) {
    return detail::document([&](char* out, int n, char* err, int e) {
        return tandrel_list_points(t.meter.c_str(), out, n, err, e);
    });
}

Outcome version(const Target&) { return {0, "", tandrel_version(), 0}; }

// The short forms use port 502 and the default time-out, as the meters do here.
Outcome read_live(const Target& t) {
    return detail::document([&](char* out, int n, char* err, int e) {
        return tandrel_read_live(t.host.c_str(), t.meter.c_str(), out, n, err, e);
    });
}

template <typename Export>
Outcome short_export(const Target& t, int file, Export&& run) {
    Outcome o;
    char err[512] = "";
    o.status = run(t.host.c_str(), t.meter.c_str(), file, t.csv_path.c_str(), err,
                   static_cast<int>(sizeof err));
    o.err = err;
    o.output = file_bytes(t.csv_path);
    return o;
}

Outcome export_datalog(const Target& t) { return short_export(t, 1, tandrel_export_datalog); }
Outcome export_eventlog(const Target& t) { return short_export(t, 0, tandrel_export_eventlog); }

// Serialisation of the log callback, watched from inside it.
struct LogWatch {
    std::atomic<int> inside{0};
    std::atomic<int> overlaps{0};
    std::atomic<long> messages{0};
};

void TANDREL_CALL watch_log(int, const char* message, void* user) {
    auto& w = *static_cast<LogWatch*>(user);
    if (w.inside.fetch_add(1) != 0) w.overlaps.fetch_add(1);
    volatile size_t length = std::string(message).size();  // some work inside the window
    (void)length;
    w.messages.fetch_add(1);
    w.inside.fetch_sub(1);
}

LogWatch log_watch;

// Installing the callback again while messages flow must not open a window.
Outcome reinstall_log_callback(const Target&) {
    tandrel_set_log_callback(watch_log, &log_watch);
    return {};
}

struct Work {
    std::string name;
    std::function<Outcome(const Target&)> run;
    int models;  // bit 0: em133, bit 1: em235
};

std::vector<Work> all_work() {
    std::vector<Work> work;
    for (const MeterCall& c : meter_calls()) work.push_back({c.name, c.run, 3});
    work.push_back({"list_points", list_points, 3});
    work.push_back({"version", version, 3});
    work.push_back({"read_live", read_live, 3});
    work.push_back({"export_datalog", export_datalog, 3});
    work.push_back({"export_eventlog", export_eventlog, 3});
    work.push_back({"set_log_callback", reinstall_log_callback, 3});
    work.push_back({"em133_all", fixed_port_calls()[0].run, 1});
    work.push_back({"em235_diagnostics", fixed_port_calls()[1].run, 2});
    return work;
}

class Soak : public ::testing::Test {
protected:
    void SetUp() override {
        for (int m = 0; m < METERS; ++m) {
            const Model model = m % 2 == 0 ? Model::EM133 : Model::EM235;
            const std::string host = "127.0.92." + std::to_string(m + 1);
            meters.push_back(start_meter(model, host, 502));
            hosts.push_back(host);
            models.push_back(model == Model::EM133 ? "em133" : "em235");
        }
        work = all_work();
    }
    void TearDown() override { tandrel_set_log_callback(nullptr, nullptr); }

    bool fits(const Work& w, int meter) const { return (w.models >> (meter % 2)) & 1; }

    Target target(int meter, const std::string& csv) const {
        return {hosts[static_cast<size_t>(meter)], models[static_cast<size_t>(meter)],
                "{\"timeout_ms\":10000}", csv};
    }

    bool quiet() const {
        for (const auto& m : meters) {
            if (!wait_connections_closed(*m)) return false;
        }
        return true;
    }

    // Each thread walks the (work, meter) pairs from its own starting point.
    void hammer(int thread, std::chrono::steady_clock::time_point until, bool compare) {
        const std::string csv = dir.file("t" + std::to_string(thread) + ".csv");
        for (size_t k = static_cast<size_t>(thread); std::chrono::steady_clock::now() < until; ++k) {
            const size_t w = k % work.size();
            const int meter = static_cast<int>((k / work.size() + static_cast<size_t>(thread)) % METERS);
            if (!fits(work[w], meter)) continue;
            const Outcome o = work[w].run(target(meter, csv));
            calls.fetch_add(1);
            if (!compare) continue;
            const Outcome& want = baseline.at({w, meter});
            if (o.status != want.status || o.err != want.err || o.output != want.output) {
                std::lock_guard<std::mutex> lock(mutex);
                if (mismatches.size() < 5) {
                    mismatches.push_back(work[w].name + " on " + hosts[static_cast<size_t>(meter)] +
                                         ": status " + std::to_string(o.status) + " err '" + o.err + "'");
                }
            }
        }
    }

    void run_threads(int seconds, bool compare) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        std::vector<std::thread> threads;
        for (int t = 0; t < THREADS; ++t) threads.emplace_back([=] { hammer(t, until, compare); });
        for (auto& t : threads) t.join();
    }

    TempDir dir;
    std::vector<std::unique_ptr<tandrel_sim::Simulator>> meters;
    std::vector<std::string> hosts, models;
    std::vector<Work> work;
    std::map<std::pair<size_t, int>, Outcome> baseline;
    std::atomic<long> calls{0};
    std::mutex mutex;
    std::vector<std::string> mismatches;
};

TEST_F(Soak, SixtyFourThreadsMatchTheSingleThreadedResults) {
    LogWatch& watch = log_watch;
    tandrel_set_log_callback(watch_log, &watch);
    for (size_t w = 0; w < work.size(); ++w) {
        for (int m = 0; m < METERS; ++m) {
            if (!fits(work[w], m)) continue;
            const Outcome o = work[w].run(target(m, dir.file("baseline.csv")));
            ASSERT_GE(o.status, 0) << work[w].name << ": " << o.err;
            baseline[std::make_pair(w, m)] = o;
        }
    }
    // A short warm-up with all threads lets the allocator settle its
    // per-thread arenas before memory is measured.
    run_threads(2, false);
    ASSERT_TRUE(quiet());
    const int fds_before = count_fds();
    const long rss_before = rss_kib();
    calls = 0;

    run_threads(soak_seconds(), true);

    ASSERT_TRUE(quiet()) << "connections left open";
    EXPECT_TRUE(mismatches.empty()) << mismatches.front();
    EXPECT_EQ(watch.overlaps.load(), 0) << "log callback entered by two threads at once";
    EXPECT_GT(watch.messages.load(), 0);
    if (fds_before >= 0) {
        EXPECT_EQ(count_fds(), fds_before) << "descriptors leaked";
    }
#ifndef HARDENING_SANITIZED
    if (rss_before > 0) {
        EXPECT_LT(rss_kib() - rss_before, 16 * 1024) << "resident memory grew";
    }
#endif
    RecordProperty("calls", static_cast<int>(calls.load()));
    std::printf("soak: %ld calls in %d s with %d threads against %d meters, RSS %+ld KiB\n",
                calls.load(), soak_seconds(), THREADS, METERS, rss_kib() - rss_before);
}

}  // namespace
}  // namespace hardening
