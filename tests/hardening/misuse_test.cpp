// Caller misuse: every null argument of every function, bad options and
// models, output and error buffers of INT_MIN, -1, 0 and 1 bytes (a table in
// tests/data/hardening/misuse.txt), a log
// callback swapped from another thread while calls run, a thread ended inside
// a callback. None of it may crash, write outside a buffer or hang.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#ifndef _WIN32
#include <pthread.h>
#endif

#include "support/case_file.h"
#include "small_meter.h"

namespace hardening {
namespace {

TEST(Misuse, Table) {
    for (const Case& c : read_cases("hardening/misuse.txt")) {
        Args args;
        args.meter = c[1].c_str();
        args.options = c[2] == "-" ? nullptr : c[2].c_str();
        args.path = "/nonexistent-dir/x.csv";
        const Outcome o = run_call(meter_call(c[0]), args, int(number(c[4])), int(number(c[5])), c[3]);
        EXPECT_EQ(o.status, number(c[6])) << c.where;
        EXPECT_EQ(o.err, c[7]) << c.where;
    }
}

// Two callbacks with their own user data: a message delivered to one with
// the other's user pointer would show a torn swap.
std::atomic<long> MESSAGES[2];
std::atomic<long> TORN[2];

template <int N>
void TANDREL_CALL sink(int, const char* message, void* user) {
    if (user != &MESSAGES[N] || message == nullptr) TORN[N].fetch_add(1);
    MESSAGES[N].fetch_add(1);
}

// The calls go on until both callbacks have taken messages between swaps:
// how the threads are scheduled decides only how long that takes, never
// whether the swaps met any call (a fixed number of calls can all run before
// the swapper's first turn). The bound on calls only ends a broken run.
TEST(Misuse, LogCallbackSwappedFromAnotherThreadWhileCallsRun) {
    constexpr long ENOUGH = 100;
    constexpr long MOST_CALLS = 2000000;
    for (int k = 0; k < 2; ++k) MESSAGES[k] = TORN[k] = 0;
    Args bad_model;
    bad_model.meter = "em999";
    std::atomic<bool> stop{false};
    std::atomic<long> swaps{0}, calls{0};
    std::thread swapper([&] {
        for (long i = 0; !stop; ++i, ++swaps) {
            const int k = static_cast<int>(i % 3);
            tandrel_set_log_callback(k == 2 ? nullptr : k == 0 ? sink<0> : sink<1>, k == 2 ? nullptr : &MESSAGES[k]);
        }
    });
    const auto enough = [&] {
        return MESSAGES[0] >= ENOUGH && MESSAGES[1] >= ENOUGH && swaps >= 3 * ENOUGH;
    };
    std::vector<std::thread> callers;
    for (int t = 0; t < 4; ++t) {
        callers.emplace_back([&] {
            while (!enough() && calls.fetch_add(1) < MOST_CALLS) {
                EXPECT_EQ(run_call(meter_call("list_points"), bad_model).status, -1);
            }
        });
    }
    for (auto& c : callers) c.join();
    stop = true;
    swapper.join();
    tandrel_set_log_callback(nullptr, nullptr);
    EXPECT_TRUE(enough()) << MESSAGES[0] << " and " << MESSAGES[1] << " messages, " << swaps
                          << " swaps in " << calls << " calls";
    EXPECT_EQ(TORN[0].load() + TORN[1].load(), 0);
}

#ifndef _WIN32
// A host may end its own thread inside a callback (pthread_exit, or a
// cancellation): the library must let the thread's unwinding pass, closing
// its connection on the way, not swallow it and take the process down.
int TANDREL_CALL end_thread(const char*, void*) { pthread_exit(nullptr); }

TEST(Misuse, HostThreadEndedInsideACallback) {
    auto sim = start_meter(Model::EM235);
    const std::string options = options_for(*sim, 2000);
    std::thread caller([&] {
        char err[256];
        tandrel_read_eventlog("127.0.0.1", "em235", 0, options.c_str(), end_thread, nullptr, err,
                              sizeof err);
        ADD_FAILURE() << "the call returned after its thread ended: " << err;
    });
    caller.join();
    EXPECT_TRUE(connections_closed(*sim)) << "the connection outlived the thread";
}
#endif

}  // namespace
}  // namespace hardening
