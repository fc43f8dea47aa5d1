// Caller misuse: every null argument of every function, bad options and
// models, output and error buffers of INT_MIN, -1, 0 and 1 bytes, a log
// callback swapped from another thread while calls run, a thread ended inside
// a callback. None of it may crash, write outside a buffer or hang.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <thread>

#ifndef _WIN32
#include <pthread.h>
#endif

#include "small_meter.h"

namespace hardening {
namespace {

// A closed loopback port: never reached when an argument check fails first,
// and fast to fail when it is reached.
const char* const NOWHERE = "{\"port\":1,\"timeout_ms\":100}";
const std::string BAD_MODEL = "Unknown meter model 'em999' (expected em133 or em235)";

// Each pointer alone, with and without an error buffer, then all of them:
// the first in the call's order is named. A failed call writes no output.
TEST(Misuse, EveryNullArgumentIsNamed) {
    const TempDir dir;
    const std::string path = dir.file("x");
    Args args;
    args.options = NOWHERE;
    args.path = path.c_str();
    for (const MeterCall& call : meter_calls()) {
        std::istringstream checks(call.checks);
        std::string all;
        for (std::string name; checks >> name;) {
            if (name == "model" || name == "options") continue;
            SCOPED_TRACE(std::string(call.name) + " " + name);
            const Outcome o = run_call(call, args, 64, 128, name);
            EXPECT_EQ(o.status, -1);
            EXPECT_EQ(o.err, name + " must not be null");
            EXPECT_EQ(o.broken, "");
            EXPECT_EQ(run_call(call, args, 64, 128, name + " err").status, -1);
            all += name + " ";
        }
        EXPECT_EQ(run_call(call, args, 64, 128, all).err, all.substr(0, all.find(' ')) + " must not be null");
    }
}

// The calls that take options fail on them or on the model before they
// connect or create a file, each in its own order when both are wrong.
TEST(Misuse, OptionsAndModelAreCheckedBeforeConnecting) {
    const struct {
        const char* meter;
        const char* options;
        std::string message;
    } cases[] = {
        {"em999", "{\"port\":0}", "options.port must be 1-65535"},
        {"em999", "{\"timeout_ms\":5}", "options.timeout_ms must be 100-3600000"},
        {"em133", "{\"unit_id\":256}", "options.unit_id must be 0-255"},
        {"em999", nullptr, BAD_MODEL},
    };
    Args args;
    args.path = "/nonexistent-dir/x.csv";
    for (const MeterCall& call : meter_calls()) {
        if (call.checked_at("options") == std::string::npos) continue;
        const bool model_first = call.checked_at("model") < call.checked_at("options");
        for (const auto& c : cases) {
            args.meter = c.meter;
            args.options = c.options;
            const Outcome o = run_call(call, args);
            EXPECT_EQ(o.status, -1) << call.name;
            EXPECT_EQ(o.err, model_first && args.meter == std::string("em999") ? BAD_MODEL : c.message)
                << call.name;
        }
    }
}

TEST(Misuse, OutputBufferTooSmallIsLeftUntouched) {
    const MeterCall& list_points = meter_call("list_points");
    for (const int len : {INT_MIN, -1, 0, 1}) {
        const Outcome o = run_call(list_points, {}, len);
        EXPECT_EQ(o.status, -1) << len;
        EXPECT_EQ(o.err.rfind("Output buffer too small: need ", 0), 0u) << o.err;
        EXPECT_EQ(o.broken, "") << len;
    }
    // The size the message names is exactly enough.
    const int need = std::atoi(run_call(list_points, {}, 1).err.substr(30).c_str());
    EXPECT_EQ(run_call(list_points, {}, need - 1).status, -1);
    const Outcome fits = run_call(list_points, {}, need);
    EXPECT_EQ(fits.status, 205) << fits.err;
    EXPECT_EQ(fits.output.size() + 1, static_cast<std::size_t>(need));
    EXPECT_EQ(fits.broken, "");
}

// Lengths below 1 are never written, 1 holds an empty text, 16 the message
// cut to 15 bytes.
TEST(Misuse, ErrorBufferOfAnyLength) {
    Args args;
    args.meter = "em999";
    for (const int len : {INT_MIN, -1, 0, 1, 16}) {
        const Outcome o = run_call(meter_call("list_points"), args, 64, len);
        EXPECT_EQ(o.status, -1);
        EXPECT_EQ(o.err, BAD_MODEL.substr(0, len > 1 ? std::size_t(len - 1) : 0));
        EXPECT_EQ(o.broken, "") << len;
    }
}

// Two callbacks with their own user data: a message delivered to one with
// the other's user pointer would show a torn swap.
struct Sink {
    std::atomic<long> messages{0};
    std::atomic<long> torn{0};
};
Sink SINKS[2];

template <int N>
void TANDREL_CALL sink(int, const char* message, void* user) {
    if (user != &SINKS[N] || message == nullptr) SINKS[N].torn.fetch_add(1);
    SINKS[N].messages.fetch_add(1);
}

TEST(Misuse, LogCallbackSwappedFromAnotherThreadWhileCallsRun) {
    auto sim = start_meter(Model::EM235);
    const std::string options = options_for(*sim, 2000);
    Args bad_model, good;
    bad_model.meter = "em999";
    good.options = options.c_str();
    std::atomic<bool> stop{false};
    std::thread swapper([&] {
        for (long i = 0; !stop; ++i) {
            const int k = static_cast<int>(i % 3);
            tandrel_set_log_callback(k == 2 ? nullptr : k == 0 ? sink<0> : sink<1>, k == 2 ? nullptr : &SINKS[k]);
        }
    });
    std::vector<std::thread> callers;
    std::atomic<int> wrong{0};
    for (int t = 0; t < 4; ++t) {
        callers.emplace_back([&, t] {
            for (int k = 0; k < 60; ++k) {
                wrong += (t + k) % 2 == 0 ? run_call(meter_call("list_points"), bad_model).status != -1
                                          : run_call(meter_call("read_device_info"), good).status < 0;
            }
        });
    }
    for (auto& c : callers) c.join();
    stop = true;
    swapper.join();
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_EQ(SINKS[0].torn.load() + SINKS[1].torn.load(), 0);

    // Once the swapping ends, the callback installed last gets the next message.
    tandrel_set_log_callback(sink<1>, &SINKS[1]);
    const long before = SINKS[1].messages.load();
    run_call(meter_call("list_points"), bad_model);
    EXPECT_EQ(SINKS[1].messages.load(), before + 1);
    tandrel_set_log_callback(nullptr, nullptr);
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
