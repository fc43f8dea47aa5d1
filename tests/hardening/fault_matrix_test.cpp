// Each exported meter call against each simulator fault, at each request of
// the call: the expected status and message, no hang past the time-out, no
// descriptor left open, the caller's contract kept (run_call), and what was
// written before the fault left intact.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <ostream>
#include <set>

#include "support/case_file.h"
#include "small_meter.h"

namespace hardening {
namespace {

using tandrel_sim::apply_scenario;

constexpr int TIMEOUT_MS = 500;
// Generous: the guard is against hangs (a time-out per later request, a
// blocking read), not a speed requirement, and CI machines are shared.
constexpr int HANG_MARGIN_MS = 2500;

// A row of tests/data/hardening/faults.txt.
struct FaultKind {
    std::string name, effect, reach, rule;
    std::vector<std::string> messages;

    // The simulator's rule for request n, as a scenario file would give it.
    std::string scenario(int n) const {
        const std::string at = reach == "whole" ? "" : "\"request\":" + std::to_string(n) + ",";
        return "{\"faults\":[{" + at + rule.substr(1) + "]}";
    }
};

const std::vector<FaultKind>& faults() {
    static const std::vector<FaultKind> list = [] {
        std::vector<FaultKind> kinds;
        for (const Case& c : read_cases("hardening/faults.txt")) {
            kinds.push_back({c[0], c[1], c[2], c[3], {}});
            for (std::size_t i = 4; i < c.fields.size(); ++i) {
                if (!c[i].empty()) kinds.back().messages.push_back(c[i]);
            }
        }
        return kinds;
    }();
    return list;
}

bool reads_points(const MeterCall& call) {
    return call.name == std::string("read_live_ex") || call.name == std::string("read_points");
}

// Point reading wraps the last block error when no value at all was read.
bool expected_message(const std::string& err, const FaultKind& fault, const MeterCall& call) {
    for (const std::string& m : fault.messages) {
        if (err == m || (reads_points(call) && err == "No values could be read: " + m)) return true;
    }
    return false;
}

// A meter answers "no such register" with a whole reply, and these calls fall
// back: the directory at every File Info probe, point reading at every block
// and single point, device information at every read after the identity block.
bool answer_absorbed(const MeterCall& call, int request) {
    if (reads_points(call) || call.name == std::string("list_logs")) return true;
    return call.name == std::string("read_device_info") && request > 1;
}

std::vector<int> requests_to_fault(int total, const std::string& reach) {
    std::vector<int> all;
    for (int n = 1; n <= (reach == "whole" ? 1 : total); ++n) all.push_back(n);
    if (reach != "some") return all;
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
        for (const FaultKind& fault : faults()) {
            if (!fixed_port && call.takes_options) {
                for (Model model : {Model::EM133, Model::EM235}) list.push_back({&call, &fault, model});
            } else if (fixed_port && call.only_model != nullptr && fault.reach != "some") {
                const Model model = call.only_model == std::string("em133") ? Model::EM133 : Model::EM235;
                list.push_back({&call, &fault, model, "127.0.91." + std::to_string(address++), 502});
            }
        }
    }
    return list;
}

std::string name_of(const Scenario& s) {
    return std::string(s.call->name) + "_" + s.fault->name + "_" + model_name(s.model);
}

// The test's name in ctest's output, and its parameter too, instead of its bytes.
std::string scenario_name(const ::testing::TestParamInfo<Scenario>& info) { return name_of(info.param); }
void PrintTo(const Scenario& s, std::ostream* os) { *os << name_of(s); }

class FaultMatrix : public ::testing::TestWithParam<Scenario> {
protected:
    void SetUp() override {
        args.host = GetParam().host.c_str();
        args.meter = model_name(GetParam().model);
        args.options = options.c_str();
        args.path = path.c_str();
    }

    Outcome run(std::chrono::milliseconds& elapsed) {
        const auto start = std::chrono::steady_clock::now();
        Outcome o = run_call(call, args);
        elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
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
        EXPECT_EQ(log.back().connection, faulted->connection) << "a connection after the break";
        EXPECT_EQ(log.back().number, n) << "a request after the break";
    }

    // Lines and rows written before a break are those of the fault-free run.
    void check_written_part(const Outcome& o, const Outcome& baseline) {
        if (fault.effect != "breaks" || call.output == Output::Document) return;
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
    const std::unique_ptr<tandrel_sim::Simulator> sim =
        start_meter(GetParam().model, GetParam().host, GetParam().port, 1u << 20);
    const std::string options = options_for(*sim, TIMEOUT_MS);
    Args args;
};

TEST_P(FaultMatrix, EveryRequestOfTheCall) {
    std::chrono::milliseconds elapsed{0};
    const Outcome baseline = run(elapsed);
    ASSERT_GE(baseline.status, 0) << baseline.err;
    const int requests = static_cast<int>(sim->requests_served());
    ASSERT_GT(requests, 0);
    ASSERT_TRUE(connections_closed(*sim));
    const std::vector<int> positions = requests_to_fault(requests, fault.reach);
    // One faulted call first, so that whatever a failure path sets up once
    // for the whole process is not taken for a descriptor leaked per call.
    apply_scenario(fault.scenario(positions.front()), *sim);
    run(elapsed);
    ASSERT_TRUE(connections_closed(*sim));
    const int fds_before = open_descriptor_count();

    int failures = 0;
    for (int n : positions) {
        SCOPED_TRACE("fault at request " + std::to_string(n) + " of " + std::to_string(requests));
        sim->clear_faults();
        sim->clear_requests();
        apply_scenario(fault.scenario(n), *sim);
        const Outcome o = run(elapsed);
        if (fault.reach != "whole") {
            EXPECT_LT(elapsed.count(), TIMEOUT_MS + HANG_MARGIN_MS) << "call outlived its time-out";
        }
        ASSERT_TRUE(connections_closed(*sim)) << "the library kept its connection open";
        if (fds_before >= 0) {
            EXPECT_EQ(open_descriptor_count(), fds_before) << "descriptor leaked";
        }
        if (fault.effect == "transparent") {
            EXPECT_EQ(o.status, baseline.status) << o.err;
            EXPECT_EQ(o.output, baseline.output);
            continue;
        }
        failures += o.status == -1 ? 1 : 0;
        if (o.status == -1) {
            EXPECT_TRUE(expected_message(o.err, fault, call)) << "message: " << o.err;
        }
        if (fault.effect == "breaks") check_break(o, n);
        if (fault.effect == "fails" && answer_absorbed(call, n)) {
            EXPECT_GE(o.status, 0) << "an optional read did not fall back: " << o.err;
        }
        check_written_part(o, baseline);
    }
    if (fault.effect != "transparent" && !(fault.effect == "fails" && answer_absorbed(call, 1))) {
        EXPECT_GT(failures, 0) << "no fault of this kind ever reached the caller";
    }
}

INSTANTIATE_TEST_SUITE_P(Call, FaultMatrix, ::testing::ValuesIn(scenarios(false)), scenario_name);
INSTANTIATE_TEST_SUITE_P(FixedPort, FaultMatrix, ::testing::ValuesIn(scenarios(true)), scenario_name);

}  // namespace
}  // namespace hardening
