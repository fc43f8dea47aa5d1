// Caller misuse: every null argument of every function, zero, negative and
// one-byte buffers, a log callback swapped from another thread while calls
// run, a thread ended inside a callback. None of it may crash, write outside
// a buffer or hang.
#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <cstring>

#ifndef _WIN32
#include <pthread.h>
#endif

#include "hardening_support.h"

namespace hardening {
namespace {

int TANDREL_CALL ignore_line(const char*, void*) { return 0; }

// Options that point at a closed loopback port: never reached when an
// argument check fails first, and fast to fail when it is reached.
const char* const NOWHERE = "{\"port\":1,\"timeout_ms\":100}";

struct NullCase {
    const char* function;
    const char* argument;  // the argument passed as null
    std::function<int(const char* host, const char* meter, const char* path, char* out,
                      char* err, int err_len)>
        call;
};

// Every function with each of its required pointers; `out` stands for the
// output buffer, the callback or the CSV path, whichever the function takes.
std::vector<NullCase> null_cases() {
    const auto with = [](const char* f, std::vector<const char*> args, auto call) {
        std::vector<NullCase> cases;
        for (const char* a : args) cases.push_back({f, a, call});
        return cases;
    };
    std::vector<NullCase> all;
    const auto add = [&](std::vector<NullCase> more) { all.insert(all.end(), more.begin(), more.end()); };
    add(with("read_device_info", {"host", "meter", "out"},
             [](auto h, auto m, auto, char* o, char* e, int n) { return tandrel_read_device_info(h, m, NOWHERE, o, 64, e, n); }));
    add(with("list_logs", {"host", "meter", "out"},
             [](auto h, auto m, auto, char* o, char* e, int n) { return tandrel_list_logs(h, m, NOWHERE, o, 64, e, n); }));
    add(with("read_live", {"host", "meter", "out"},
             [](auto h, auto m, auto, char* o, char* e, int n) { return tandrel_read_live(h, m, o, 64, e, n); }));
    add(with("read_live_ex", {"host", "meter", "out"},
             [](auto h, auto m, auto, char* o, char* e, int n) { return tandrel_read_live_ex(h, m, NOWHERE, o, 64, e, n); }));
    add(with("read_points", {"host", "meter", "out", "points"},
             [](auto h, auto m, auto p, char* o, char* e, int n) { return tandrel_read_points(h, m, NOWHERE, p, o, 64, e, n); }));
    add(with("list_points", {"meter", "out"},
             [](auto, auto m, auto, char* o, char* e, int n) { return tandrel_list_points(m, o, 64, e, n); }));
    add(with("read_datalog", {"host", "meter", "cb"},
             [](auto h, auto m, auto, char* o, char* e, int n) { return tandrel_read_datalog(h, m, 1, NOWHERE, o ? ignore_line : nullptr, nullptr, e, n); }));
    add(with("read_eventlog", {"host", "meter", "cb"},
             [](auto h, auto m, auto, char* o, char* e, int n) { return tandrel_read_eventlog(h, m, 0, NOWHERE, o ? ignore_line : nullptr, nullptr, e, n); }));
    add(with("export_datalog", {"host", "meter", "csv_path"},
             [](auto h, auto m, auto p, char*, char* e, int n) { return tandrel_export_datalog(h, m, 1, p, e, n); }));
    add(with("export_datalog_ex", {"host", "meter", "csv_path"},
             [](auto h, auto m, auto p, char*, char* e, int n) { return tandrel_export_datalog_ex(h, m, 1, p, NOWHERE, nullptr, nullptr, e, n); }));
    add(with("export_eventlog", {"host", "meter", "csv_path"},
             [](auto h, auto m, auto p, char*, char* e, int n) { return tandrel_export_eventlog(h, m, 0, p, e, n); }));
    add(with("export_eventlog_ex", {"host", "meter", "csv_path"},
             [](auto h, auto m, auto p, char*, char* e, int n) { return tandrel_export_eventlog_ex(h, m, 0, p, NOWHERE, nullptr, nullptr, e, n); }));
    add(with("export_em133_all", {"host", "out_dir"},
             [](auto h, auto, auto p, char*, char* e, int n) { return tandrel_export_em133_all(h, 0, 0, p, e, n); }));
    add(with("export_em235_diagnostics", {"host", "word_order", "csv_path"},
             [](auto h, auto m, auto p, char*, char* e, int n) { return tandrel_export_em235_diagnostics(h, 1, 1, 2, m, p, e, n); }));
    return all;
}

std::string case_name(const ::testing::TestParamInfo<NullCase>& info) {
    return std::string(info.param.function) + "_" + info.param.argument;
}

class NullArgument : public ::testing::TestWithParam<NullCase> {};

TEST_P(NullArgument, FailsWithTheArgumentsName) {
    const NullCase& c = GetParam();
    const std::string arg = c.argument;
    const bool is_host = arg == "host";
    // "meter" doubles as word_order, "csv_path" as out_dir and points.
    const bool is_meter = arg == "meter" || arg == "word_order";
    const bool is_path = arg == "csv_path" || arg == "out_dir" || arg == "points";
    const bool is_out = arg == "out" || arg == "cb";
    const char* meter = std::string(c.function) == "export_em235_diagnostics" ? "LO_FIRST" : "em235";
    char out[64];
    std::memset(out, 'x', sizeof out);
    char err[128];
    const int status = c.call(is_host ? nullptr : "127.0.0.1", is_meter ? nullptr : meter,
                              is_path ? nullptr : "/nonexistent-dir/x.csv",
                              is_out ? nullptr : out, err, sizeof err);
    EXPECT_EQ(status, -1);
    EXPECT_EQ(std::string(err), arg + " must not be null");
    for (char b : out) ASSERT_EQ(b, 'x') << "output written on a failed call";
    // The same call without an error buffer still fails, and touches nothing.
    EXPECT_EQ(c.call(is_host ? nullptr : "127.0.0.1", is_meter ? nullptr : meter,
                     is_path ? nullptr : "/nonexistent-dir/x.csv", is_out ? nullptr : out,
                     nullptr, 0),
              -1);
}

INSTANTIATE_TEST_SUITE_P(Every, NullArgument, ::testing::ValuesIn(null_cases()), case_name);

// All pointers null: the first argument in the interface's order is named.
TEST(NullArguments, FirstMissingArgumentIsReported) {
    char err[64];
    EXPECT_EQ(tandrel_read_points(nullptr, nullptr, nullptr, nullptr, nullptr, 0, err, sizeof err), -1);
    EXPECT_STREQ(err, "host must not be null");
    EXPECT_EQ(tandrel_list_points(nullptr, nullptr, 0, err, sizeof err), -1);
    EXPECT_STREQ(err, "meter must not be null");
    EXPECT_EQ(tandrel_export_em235_diagnostics("h", 0, 0, 0, nullptr, nullptr, err, sizeof err), -1);
    EXPECT_STREQ(err, "word_order must not be null");
}

// The functions that take options fail on them or on the meter model before
// they connect or create a file. Most read the options first; the event log
// export checks the model first (read_points too: its own test covers it).
struct OptionsCall {
    const char* function;
    bool model_first;
    std::function<int(const char* meter, const char* options, char* err, int n)> call;
};

std::vector<OptionsCall> options_calls() {
    const char* csv = "/nonexistent-dir/x.csv";
    return {
        {"read_device_info", false, [](auto m, auto o, char* e, int n) { char out[64]; return tandrel_read_device_info("127.0.0.1", m, o, out, 64, e, n); }},
        {"list_logs", false, [](auto m, auto o, char* e, int n) { char out[64]; return tandrel_list_logs("127.0.0.1", m, o, out, 64, e, n); }},
        {"read_live_ex", false, [](auto m, auto o, char* e, int n) { char out[64]; return tandrel_read_live_ex("127.0.0.1", m, o, out, 64, e, n); }},
        {"read_datalog", false, [](auto m, auto o, char* e, int n) { return tandrel_read_datalog("127.0.0.1", m, 1, o, ignore_line, nullptr, e, n); }},
        {"read_eventlog", false, [](auto m, auto o, char* e, int n) { return tandrel_read_eventlog("127.0.0.1", m, 0, o, ignore_line, nullptr, e, n); }},
        {"export_datalog_ex", false, [csv](auto m, auto o, char* e, int n) { return tandrel_export_datalog_ex("127.0.0.1", m, 1, csv, o, nullptr, nullptr, e, n); }},
        {"export_eventlog_ex", true, [csv](auto m, auto o, char* e, int n) { return tandrel_export_eventlog_ex("127.0.0.1", m, 0, csv, o, nullptr, nullptr, e, n); }},
    };
}

TEST(ArgumentOrder, OptionsAndModelAreCheckedBeforeConnecting) {
    const struct {
        const char* meter;
        const char* options;
        const char* message;
    } cases[] = {
        {"em999", "{\"port\":0}", "options.port must be 1-65535"},
        {"em999", "{\"timeout_ms\":5}", "options.timeout_ms must be 100-3600000"},
        {"em133", "{\"unit_id\":256}", "options.unit_id must be 0-255"},
        {"em999", nullptr, "Unknown meter model 'em999' (expected em133 or em235)"},
    };
    const std::string bad_model = cases[3].message;
    for (const OptionsCall& f : options_calls()) {
        for (const auto& c : cases) {
            char err[128];
            EXPECT_EQ(f.call(c.meter, c.options, err, sizeof err), -1) << f.function;
            const bool model_wins = f.model_first && std::string(c.meter) == "em999";
            EXPECT_EQ(std::string(err), model_wins ? bad_model : c.message) << f.function;
        }
    }
}

constexpr int GUARD = 32;

// Output lengths that cannot hold any document.
const int TOO_SMALL[] = {INT_MIN, -1, 0, 1};

TEST(OutputBuffer, ZeroNegativeAndOneByteLengthsWriteNothing) {
    for (const int len : TOO_SMALL) {
        SCOPED_TRACE(len);
        std::vector<char> out(GUARD, 'x');
        char err[128];
        EXPECT_EQ(tandrel_list_points("em133", out.data(), len, err, sizeof err), -1);
        EXPECT_EQ(std::string(err).rfind("Output buffer too small: need ", 0), 0u) << err;
        for (char b : out) ASSERT_EQ(b, 'x');
    }
}

TEST(OutputBuffer, ExactSizeFromTheMessageSucceeds) {
    char err[128];
    char probe[1];
    ASSERT_EQ(tandrel_list_points("em235", probe, 1, err, sizeof err), -1);
    const int need = std::atoi(err + std::strlen("Output buffer too small: need "));
    ASSERT_GT(need, 1);
    std::vector<char> out(static_cast<size_t>(need) + GUARD, 'x');
    EXPECT_EQ(tandrel_list_points("em235", out.data(), need - 1, err, sizeof err), -1);
    EXPECT_EQ(tandrel_list_points("em235", out.data(), need, err, sizeof err), 205) << err;
    EXPECT_EQ(std::strlen(out.data()), static_cast<size_t>(need - 1));
    for (size_t i = static_cast<size_t>(need); i < out.size(); ++i) ASSERT_EQ(out[i], 'x');
}

TEST(ErrorBuffer, ZeroAndNegativeLengthsAreNeverWritten) {
    for (const int len : {INT_MIN, -1, 0}) {
        SCOPED_TRACE(len);
        char err[GUARD];
        std::memset(err, 'x', sizeof err);
        char out[8];
        EXPECT_EQ(tandrel_list_points("em999", out, sizeof out, err, len), -1);
        for (char b : err) ASSERT_EQ(b, 'x');
    }
}

TEST(ErrorBuffer, OneByteHoldsAnEmptyStringAndShortOnesAreCut) {
    char err[GUARD];
    std::memset(err, 'x', sizeof err);
    char out[8];
    EXPECT_EQ(tandrel_list_points("em999", out, sizeof out, err, 1), -1);
    EXPECT_EQ(err[0], '\0');
    for (int i = 1; i < GUARD; ++i) ASSERT_EQ(err[i], 'x');

    std::memset(err, 'x', sizeof err);
    EXPECT_EQ(tandrel_list_points("em999", out, sizeof out, err, 16), -1);
    EXPECT_EQ(std::string(err), std::string("Unknown meter model 'em999'").substr(0, 15));
    for (int i = 16; i < GUARD; ++i) ASSERT_EQ(err[i], 'x');
}

// Two callbacks with their own user data: a message delivered to one with
// the other's user pointer would show a torn swap.
struct Sink {
    std::atomic<long> messages{0};
    std::atomic<long> torn{0};
};

void TANDREL_CALL sink_a(int, const char* message, void* user);
void TANDREL_CALL sink_b(int, const char* message, void* user);

Sink a_sink, b_sink;

void TANDREL_CALL sink_a(int, const char* message, void* user) {
    if (user != &a_sink || message == nullptr) a_sink.torn.fetch_add(1);
    a_sink.messages.fetch_add(1);
}
void TANDREL_CALL sink_b(int, const char* message, void* user) {
    if (user != &b_sink || message == nullptr) b_sink.torn.fetch_add(1);
    b_sink.messages.fetch_add(1);
}

TEST(Misuse, LogCallbackSwappedFromAnotherThreadWhileCallsRun) {
    auto sim = start_meter(tandrel_sim::Model::EM235);
    const std::string options = options_for(*sim, 2000);
    std::atomic<bool> stop{false};
    std::thread swapper([&] {
        for (long i = 0; !stop; ++i) {
            switch (i % 3) {
                case 0: tandrel_set_log_callback(sink_a, &a_sink); break;
                case 1: tandrel_set_log_callback(sink_b, &b_sink); break;
                default: tandrel_set_log_callback(nullptr, nullptr); break;
            }
        }
    });
    std::vector<std::thread> callers;
    std::atomic<int> wrong{0};
    for (int t = 0; t < 4; ++t) {
        callers.emplace_back([&, t] {
            char out[1 << 14];
            char err[256];
            for (int k = 0; k < 60; ++k) {
                if ((t + k) % 2 == 0) {
                    wrong += tandrel_list_points("em999", out, sizeof out, err, sizeof err) != -1;
                } else {
                    wrong += tandrel_read_device_info("127.0.0.1", "em235", options.c_str(), out,
                                                      sizeof out, err, sizeof err) < 0;
                }
            }
        });
    }
    for (auto& c : callers) c.join();
    stop = true;
    swapper.join();
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_EQ(a_sink.torn.load() + b_sink.torn.load(), 0);

    // Once the swapping ends, the callback installed last gets the next message.
    tandrel_set_log_callback(sink_b, &b_sink);
    const long before = b_sink.messages.load();
    char out[8], err[64];
    tandrel_list_points("em999", out, sizeof out, err, sizeof err);
    EXPECT_EQ(b_sink.messages.load(), before + 1);
    tandrel_set_log_callback(nullptr, nullptr);
}

#ifndef _WIN32
// A host may end its own thread inside a callback (pthread_exit, or a
// cancellation): the library must let the thread's unwinding pass, closing
// its connection on the way, not swallow it and take the process down.
int TANDREL_CALL end_thread(const char*, void*) { pthread_exit(nullptr); }

TEST(Misuse, HostThreadEndedInsideACallback) {
    auto sim = start_meter(tandrel_sim::Model::EM235);
    const std::string options = options_for(*sim, 2000);
    std::thread caller([&] {
        char err[256];
        tandrel_read_eventlog("127.0.0.1", "em235", 0, options.c_str(), end_thread, nullptr, err,
                              sizeof err);
        ADD_FAILURE() << "the call returned after its thread ended: " << err;
    });
    caller.join();
    EXPECT_TRUE(wait_connections_closed(*sim)) << "the connection outlived the thread";
}
#endif

}  // namespace
}  // namespace hardening
