// Each exported meter call against each simulator fault, at each request of
// the call: the expected status and message, no hang past the time-out, no
// descriptor left open, the caller's contract kept (run_call), and what was
// written before the fault left intact.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <set>

#include "small_meter.h"

namespace hardening {
namespace {

using tandrel_sim::Fault;

constexpr int TIMEOUT_MS = 500;
// Generous: the guard is against hangs (a time-out per later request, a
// blocking read), not a speed requirement, and CI machines are shared.
constexpr int HANG_MARGIN_MS = 2500;

enum class Effect {
    Transparent,   // the call must give exactly the fault-free result
    Fails,         // -1 with one of the messages, unless an optional read absorbs it
    BreaksStream,  // -1 with the message, always: no request follows the fault,
                   // and nothing after it reaches the caller
};

enum class Reach { EveryRequest, SomeRequests, WholeCall };

struct FaultKind {
    const char* name;
    Fault (*make)(int n);
    Effect effect;
    std::vector<std::string> messages;
    Reach reach;
};

const std::vector<FaultKind> FAULTS = {
    {"exception", [](int n) { return Fault::exception_at_request(n, 2); }, Effect::Fails,
     {"Modbus exception 2"}, Reach::EveryRequest},
    {"close", Fault::close_at_request, Effect::BreaksStream, {"socket recv failed"}, Reach::EveryRequest},
    {"delay", [](int n) { return Fault::delay_at_request(n, TIMEOUT_MS + 150); }, Effect::BreaksStream,
     {"socket recv failed"}, Reach::SomeRequests},
    {"silence", Fault::silence_at_request, Effect::BreaksStream, {"socket recv failed"}, Reach::SomeRequests},
    {"wrong_transaction_id", Fault::wrong_transaction_id_at_request, Effect::Transparent, {},
     Reach::EveryRequest},
    {"one_byte_segments", [](int) { return Fault::one_byte_segments(); }, Effect::Transparent, {},
     Reach::WholeCall},
    {"wrong_function_code", Fault::wrong_function_code_at_request, Effect::Fails,
     {"Invalid read response", "Invalid write single response", "Invalid write multiple response"},
     Reach::EveryRequest},
    {"bad_byte_count", Fault::bad_byte_count_at_request, Effect::Fails,
     {"Malformed read response length", "Invalid write single response", "Invalid write multiple response"},
     Reach::EveryRequest},
    {"mbap_length", [](int n) { return Fault::mbap_length_at_request(n, 300); }, Effect::BreaksStream,
     {"Invalid MBAP length: 300"}, Reach::EveryRequest},
};

// Point reading wraps the last block error when no value at all was read.
bool expected_message(const std::string& err, const FaultKind& fault, bool wrapped_too) {
    for (const std::string& m : fault.messages) {
        if (err == m || (wrapped_too && err == "No values could be read: " + m)) return true;
    }
    return false;
}

bool reads_points(const MeterCall& call) {
    return call.name == std::string("read_live_ex") || call.name == std::string("read_points");
}

// A meter answers "no such register" with a whole reply, and these calls fall
// back: the directory at every File Info probe, point reading at every block
// and single point, device information at every read after the identity block.
bool answer_absorbed(const MeterCall& call, int request) {
    if (reads_points(call) || call.name == std::string("list_logs")) return true;
    return call.name == std::string("read_device_info") && request > 1;
}

std::vector<int> requests_to_fault(int total, Reach reach) {
    std::vector<int> all;
    for (int n = 1; n <= (reach == Reach::WholeCall ? 1 : total); ++n) all.push_back(n);
    if (reach != Reach::SomeRequests) return all;
    const std::set<int> some = {1, std::max(1, total / 2), total};
    return {some.begin(), some.end()};
}

// The stream's header line carries the record count File Info gave; a
// connection broken during File Info legitimately turns it into -1 before the
// transfer fails, so only the records are compared.
std::string records_only(const std::string& text) {
    if (text.rfind("{\"type\":\"header\"", 0) != 0) return text;
    const std::size_t end = text.find('\n');
    return end == std::string::npos ? std::string() : text.substr(end + 1);
}

struct Scenario {
    const MeterCall* call;
    const FaultKind* fault;
    Model model;
    std::string host = "127.0.0.1";
    std::uint16_t port = 0;  // 0: an ephemeral port, passed in the options
};

// The calls that take options against both models; the ones bound to port
// 502 and a 30 s time-out against the faults that fail fast, each scenario on
// its own loopback address, so that scenarios run in parallel never share a port.
std::vector<Scenario> scenarios(bool fixed_port) {
    std::vector<Scenario> list;
    int address = 1;
    for (const MeterCall& call : meter_calls()) {
        for (const FaultKind& fault : FAULTS) {
            if (!fixed_port && call.checked_at("options") != std::string::npos) {
                for (Model model : {Model::EM133, Model::EM235}) list.push_back({&call, &fault, model});
            } else if (fixed_port && call.only_model != nullptr && fault.reach != Reach::SomeRequests) {
                const Model model = call.only_model == std::string("em133") ? Model::EM133 : Model::EM235;
                list.push_back({&call, &fault, model, "127.0.91." + std::to_string(address++), 502});
            }
        }
    }
    return list;
}

std::string scenario_name(const ::testing::TestParamInfo<Scenario>& info) {
    return std::string(info.param.call->name) + "_" + info.param.fault->name + "_" +
           model_name(info.param.model);
}

class FaultMatrix : public ::testing::TestWithParam<Scenario> {
protected:
    void SetUp() override {
        const Scenario& s = GetParam();
        sim = start_meter(s.model, s.host, s.port, 1u << 20);
        options = options_for(*sim, TIMEOUT_MS);
        args.host = s.host.c_str();
        args.meter = model_name(s.model);
        args.options = options.c_str();
        args.path = path.c_str();
    }

    Outcome run(long& elapsed_ms) {
        const auto start = std::chrono::steady_clock::now();
        Outcome o = run_call(call, args);
        elapsed_ms = static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                           std::chrono::steady_clock::now() - start)
                                           .count());
        EXPECT_EQ(o.broken, "") << o.err;
        o.output = mask_timestamps(o.output);
        return o;
    }

    // A broken connection ends the call at once: the faulted request is the
    // last the meter saw, and the call fails with the message of the break.
    void check_break(const Outcome& o, int n) {
        const std::vector<tandrel_sim::Request> log = sim->requests();
        const auto faulted = std::find_if(log.begin(), log.end(),
                                          [n](const tandrel_sim::Request& r) { return r.number == n; });
        if (faulted == log.end()) return;  // no connection of the call reached request n
        EXPECT_EQ(o.status, -1) << "a broken connection was reported as success";
        EXPECT_TRUE(expected_message(o.err, fault, reads_points(call))) << "message: " << o.err;
        EXPECT_EQ(log.back().connection, faulted->connection) << "a connection after the break";
        EXPECT_EQ(log.back().number, n) << "a request after the break";
    }

    // Lines and rows written before a break are those of the fault-free run.
    void check_written_part(const Outcome& o, const Outcome& baseline) {
        if (fault.effect != Effect::BreaksStream || call.output == Output::Document) return;
        std::string got = records_only(o.output);
        if (call.output == Output::Folder && !got.empty()) got.pop_back();  // the last file's end mark
        EXPECT_EQ(records_only(baseline.output).compare(0, got.size(), got), 0)
            << "output before the fault differs from the fault-free run:\n"
            << o.output << "\nfault-free:\n" << baseline.output.substr(0, 400);
    }

    const MeterCall& call = *GetParam().call;
    const FaultKind& fault = *GetParam().fault;
    TempDir dir;
    const std::string path = dir.file("out");
    std::unique_ptr<tandrel_sim::Simulator> sim;
    std::string options;
    Args args;
};

TEST_P(FaultMatrix, EveryRequestOfTheCall) {
    long elapsed = 0;
    const Outcome baseline = run(elapsed);
    ASSERT_GE(baseline.status, 0) << baseline.err;
    const int requests = static_cast<int>(sim->requests_served());
    ASSERT_GT(requests, 0);
    ASSERT_TRUE(connections_closed(*sim));
    const std::vector<int> positions = requests_to_fault(requests, fault.reach);
    // One faulted call first, so that whatever a failure path sets up once
    // for the whole process is not taken for a descriptor leaked per call.
    sim->add_fault(fault.make(positions.front()));
    run(elapsed);
    ASSERT_TRUE(connections_closed(*sim));
    const int fds_before = open_descriptor_count();

    int failures = 0;
    for (int n : positions) {
        SCOPED_TRACE("fault at request " + std::to_string(n) + " of " + std::to_string(requests));
        sim->clear_faults();
        sim->clear_requests();
        sim->add_fault(fault.make(n));
        const Outcome o = run(elapsed);
        if (fault.reach != Reach::WholeCall) {
            EXPECT_LT(elapsed, TIMEOUT_MS + HANG_MARGIN_MS) << "call outlived its time-out";
        }
        ASSERT_TRUE(connections_closed(*sim)) << "the library kept its connection open";
        if (fds_before >= 0) {
            EXPECT_EQ(open_descriptor_count(), fds_before) << "descriptor leaked";
        }
        if (fault.effect == Effect::Transparent) {
            EXPECT_EQ(o.status, baseline.status) << o.err;
            EXPECT_EQ(o.output, baseline.output);
            continue;
        }
        failures += o.status == -1 ? 1 : 0;
        if (o.status == -1) {
            EXPECT_TRUE(expected_message(o.err, fault, true)) << "message: " << o.err;
        }
        if (fault.effect == Effect::BreaksStream) check_break(o, n);
        if (fault.effect == Effect::Fails && answer_absorbed(call, n)) {
            EXPECT_GE(o.status, 0) << "an optional read did not fall back: " << o.err;
        }
        check_written_part(o, baseline);
    }
    if (fault.effect != Effect::Transparent && !(fault.effect == Effect::Fails && answer_absorbed(call, 1))) {
        EXPECT_GT(failures, 0) << "no fault of this kind ever reached the caller";
    }
}

INSTANTIATE_TEST_SUITE_P(Call, FaultMatrix, ::testing::ValuesIn(scenarios(false)), scenario_name);
INSTANTIATE_TEST_SUITE_P(FixedPort, FaultMatrix, ::testing::ValuesIn(scenarios(true)), scenario_name);

}  // namespace
}  // namespace hardening
