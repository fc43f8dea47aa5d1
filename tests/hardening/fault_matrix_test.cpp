// Each exported meter call against each simulator fault, at each request of
// the call: the expected status and message, no hang past the time-out, no
// descriptor left open, and what was written before the fault left intact.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <set>
#include <sstream>

#include "hardening_support.h"

namespace hardening {
namespace {

using tandrel_sim::Fault;
using tandrel_sim::Model;

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

struct FaultKind {
    const char* name;
    std::function<Fault(int n)> make;
    Effect effect;
    std::vector<std::string> messages;
    enum Reach { EveryRequest, SomeRequests, WholeCall } reach;
};

const std::vector<std::string> WRITE_ANSWER_ERRORS = {"Invalid write single response",
                                                      "Invalid write multiple response"};

const std::vector<FaultKind>& fault_kinds() {
    static const std::vector<FaultKind> kinds = {
        {"exception", [](int n) { return Fault::exception_at_request(n, 2); }, Effect::Fails,
         {"Modbus exception 2"}, FaultKind::EveryRequest},
        {"close", [](int n) { return Fault::close_at_request(n); }, Effect::BreaksStream,
         {"socket recv failed"}, FaultKind::EveryRequest},
        {"delay", [](int n) { return Fault::delay_at_request(n, TIMEOUT_MS + 150); },
         Effect::BreaksStream, {"socket recv failed"}, FaultKind::SomeRequests},
        {"silence", [](int n) { return Fault::silence_at_request(n); }, Effect::BreaksStream,
         {"socket recv failed"}, FaultKind::SomeRequests},
        {"wrong_transaction_id", [](int n) { return Fault::wrong_transaction_id_at_request(n); },
         Effect::Transparent, {}, FaultKind::EveryRequest},
        {"one_byte_segments", [](int) { return Fault::one_byte_segments(); },
         Effect::Transparent, {}, FaultKind::WholeCall},
        {"wrong_function_code", [](int n) { return Fault::wrong_function_code_at_request(n); },
         Effect::Fails,
         {"Invalid read response", "Invalid write single response",
          "Invalid write multiple response"},
         FaultKind::EveryRequest},
        {"bad_byte_count", [](int n) { return Fault::bad_byte_count_at_request(n); },
         Effect::Fails,
         {"Malformed read response length", WRITE_ANSWER_ERRORS[0], WRITE_ANSWER_ERRORS[1]},
         FaultKind::EveryRequest},
        {"mbap_length", [](int n) { return Fault::mbap_length_at_request(n, 300); },
         Effect::BreaksStream, {"Invalid MBAP length: 300"}, FaultKind::EveryRequest},
    };
    return kinds;
}

// Point reading wraps the last block error when no value at all was read.
bool expected_message(const std::string& err, const std::vector<std::string>& messages) {
    for (const std::string& m : messages) {
        if (err == m || err == "No values could be read: " + m) return true;
    }
    return false;
}

std::vector<int> requests_to_fault(int total, FaultKind::Reach reach) {
    if (reach == FaultKind::WholeCall) return {1};
    if (reach == FaultKind::EveryRequest) {
        std::vector<int> all;
        for (int n = 1; n <= total; ++n) all.push_back(n);
        return all;
    }
    const std::set<int> some = {1, std::max(1, total / 2), total};
    return {some.begin(), some.end()};
}

// The stream's header line carries the record count File Info gave; a
// connection broken during File Info legitimately turns it into -1 before the
// transfer fails, so only the records are compared.
std::string records_only(const std::string& text) {
    if (text.rfind("{\"type\":\"header\"", 0) != 0) return text;
    const size_t end = text.find('\n');
    return end == std::string::npos ? std::string() : text.substr(end + 1);
}

bool whole_lines(const std::string& text) { return text.empty() || text.back() == '\n'; }

int line_count(const std::string& text) {
    return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

// A meter answers "no such register" with a whole reply, and these calls fall
// back: the directory at every File Info probe, point reading at every block
// and single point, device information at every read after the identity block.
bool answer_absorbed(const MeterCall& call, int request) {
    const std::string name = call.name;
    if (name == "list_logs" || name == "read_live_ex" || name == "read_points") return true;
    return name == "device_info" && request > 1;
}

// Point reading reports a break before any value came in as "nothing read".
bool expected_break_message(const MeterCall& call, const std::string& err,
                            const std::vector<std::string>& messages) {
    const std::string name = call.name;
    if (name == "read_live_ex" || name == "read_points") return expected_message(err, messages);
    return std::find(messages.begin(), messages.end(), err) != messages.end();
}

// The request a once-fault at request n of its connection acted on: the
// first request numbered n in the log, or none when no connection got so far.
const tandrel_sim::Request* faulted_request(const std::vector<tandrel_sim::Request>& log, int n) {
    for (const tandrel_sim::Request& r : log) {
        if (r.number == n) return &r;
    }
    return nullptr;
}

struct Scenario {
    const MeterCall* call;
    const FaultKind* fault;
    Model model;
    std::string host = "127.0.0.1";
    std::uint16_t port = 0;  // 0: an ephemeral port, passed in the options
};

std::string scenario_name(const ::testing::TestParamInfo<Scenario>& info) {
    return std::string(info.param.call->name) + "_" + info.param.fault->name + "_" +
           (info.param.model == Model::EM133 ? "em133" : "em235");
}

std::vector<Scenario> all_scenarios() {
    std::vector<Scenario> list;
    for (const MeterCall& call : meter_calls()) {
        for (const FaultKind& fault : fault_kinds()) {
            for (Model model : {Model::EM133, Model::EM235}) list.push_back({&call, &fault, model});
        }
    }
    return list;
}

// The functions bound to port 502 and a 30 s time-out, against the faults that
// fail fast; each scenario listens on its own loopback address, so that
// scenarios run in parallel never share a port.
std::vector<Scenario> fixed_port_scenarios() {
    std::vector<Scenario> list;
    int address = 1;
    for (const MeterCall& call : fixed_port_calls()) {
        const Model model = std::string(call.name) == "export_em133_all" ? Model::EM133 : Model::EM235;
        for (const FaultKind& fault : fault_kinds()) {
            if (fault.reach == FaultKind::SomeRequests) continue;
            list.push_back({&call, &fault, model, "127.0.91." + std::to_string(address++), 502});
        }
    }
    return list;
}

class FaultMatrix : public ::testing::TestWithParam<Scenario> {
protected:
    void SetUp() override {
        sim = start_meter(GetParam().model, GetParam().host, GetParam().port, 1u << 20);
        target = {GetParam().host, GetParam().model == Model::EM133 ? "em133" : "em235",
                  options_for(*sim, TIMEOUT_MS), dir.file("out.csv")};
    }

    Outcome run_call(long& elapsed_ms) {
        fs::remove(target.csv_path);
        const auto start = std::chrono::steady_clock::now();
        Outcome o = GetParam().call->run(target);
        elapsed_ms = static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                           std::chrono::steady_clock::now() - start)
                                           .count());
        return o;
    }

    // A broken connection ends the call at once: the faulted request is the
    // last the meter saw, and the call fails with the message of the break.
    void check_break(const Outcome& o, int n) {
        const std::vector<tandrel_sim::Request> log = sim->requests();
        const tandrel_sim::Request* faulted = faulted_request(log, n);
        if (faulted == nullptr) return;  // no connection of the call reached request n
        EXPECT_EQ(o.status, -1) << "a broken connection was reported as success";
        EXPECT_TRUE(expected_break_message(*GetParam().call, o.err, GetParam().fault->messages))
            << "message: " << o.err;
        EXPECT_EQ(log.back().connection, faulted->connection) << "a connection after the break";
        EXPECT_EQ(log.back().number, n) << "a request after the break";
    }

    void check_written_part(const Outcome& o, const Outcome& baseline, Effect effect) {
        const Output kind = GetParam().call->output;
        if (kind == Output::Document) return;  // a document is all or nothing: write_out
        std::stringstream files(o.output);
        for (std::string file; std::getline(files, file, '\f');) {
            EXPECT_TRUE(whole_lines(file)) << "a line cut short";
        }
        if (kind == Output::Csv && !o.output.empty()) {
            EXPECT_EQ(line_count(o.output) - 1, o.progress_calls) << "rows and progress differ";
        }
        if (effect == Effect::BreaksStream) {
            std::string got = records_only(o.output);
            if (kind == Output::Files && !got.empty()) got.pop_back();  // the last file's end mark
            EXPECT_EQ(records_only(baseline.output).compare(0, got.size(), got), 0)
                << "output before the fault differs from the fault-free run:\n"
                << o.output << "\nfault-free:\n" << baseline.output.substr(0, 400);
        }
    }

    TempDir dir;
    std::unique_ptr<tandrel_sim::Simulator> sim;
    Target target;
};

TEST_P(FaultMatrix, EveryRequestOfTheCall) {
    const FaultKind& fault = *GetParam().fault;
    long elapsed = 0;
    const Outcome baseline = run_call(elapsed);
    ASSERT_GE(baseline.status, 0) << baseline.err;
    const int requests = static_cast<int>(sim->requests_served());
    ASSERT_GT(requests, 0);
    ASSERT_TRUE(wait_connections_closed(*sim));
    const std::vector<int> positions = requests_to_fault(requests, fault.reach);
    // One faulted call first, so that whatever a failure path sets up once
    // for the whole process is not taken for a descriptor leaked per call.
    sim->add_fault(fault.make(positions.front()));
    run_call(elapsed);
    ASSERT_TRUE(wait_connections_closed(*sim));
    const int fds_before = count_fds();

    int failures = 0;
    RecordProperty("fault_positions", static_cast<int>(positions.size()));
    for (int n : positions) {
        SCOPED_TRACE("fault at request " + std::to_string(n) + " of " + std::to_string(requests));
        sim->clear_faults();
        sim->clear_requests();
        sim->add_fault(fault.make(n));
        const Outcome o = run_call(elapsed);
        if (fault.reach != FaultKind::WholeCall) {
            EXPECT_LT(elapsed, TIMEOUT_MS + HANG_MARGIN_MS) << "call outlived its time-out";
        }
        ASSERT_TRUE(wait_connections_closed(*sim)) << "the library kept its connection open";
        if (fds_before >= 0) {
            EXPECT_EQ(count_fds(), fds_before) << "descriptor leaked";
        }
        if (fault.effect == Effect::Transparent) {
            EXPECT_EQ(o.status, baseline.status) << o.err;
            EXPECT_EQ(o.output, baseline.output);
            continue;
        }
        ASSERT_GE(o.status, -1);
        if (o.status == -1) {
            ++failures;
            EXPECT_TRUE(expected_message(o.err, fault.messages)) << "message: " << o.err;
            if (GetParam().call->output == Output::Document) {
                EXPECT_EQ(o.output, "") << "the output buffer was written";
            }
        } else {
            EXPECT_EQ(o.err, "");
        }
        if (fault.effect == Effect::BreaksStream) check_break(o, n);
        if (fault.effect == Effect::Fails && answer_absorbed(*GetParam().call, n)) {
            EXPECT_GE(o.status, 0) << "an optional read did not fall back: " << o.err;
        }
        check_written_part(o, baseline, fault.effect);
    }
    const bool always_absorbed =
        fault.effect == Effect::Fails && answer_absorbed(*GetParam().call, 1);
    if (fault.effect != Effect::Transparent && !always_absorbed) {
        EXPECT_GT(failures, 0) << "no fault of this kind ever reached the caller";
    }
}

INSTANTIATE_TEST_SUITE_P(Call, FaultMatrix, ::testing::ValuesIn(all_scenarios()), scenario_name);
INSTANTIATE_TEST_SUITE_P(FixedPort, FaultMatrix, ::testing::ValuesIn(fixed_port_scenarios()),
                         scenario_name);

}  // namespace
}  // namespace hardening
