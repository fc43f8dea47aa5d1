#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "meter_fixture.h"
#include "tandrel.h"

namespace {

using meter_test::call_with_buffers;
using meter_test::CallResult;
using meter_test::concat;
using meter_test::LogCapture;
using meter_test::Logged;
using meter_test::options_for;
using meter_test::Read;
using meter_test::reads;
using meter_test::setup_reads;
using meter_test::without_timestamp;
using tandrel_sim::Model;
using tandrel_sim::SimOptions;
using tandrel_sim::Simulator;

// A meter wired directly with the high-resolution option: volts with one
// decimal, amperes with two, power with three; energies with three.
void fine_setup(Simulator& sim) {
    sim.set_pt_ratio_x10(10);
    sim.set_high_resolution(true);
    sim.set_energy_decimals(3);
}

CallResult read_points(const Simulator& sim, const char* meter, const char* points,
                       int out_len = 64 * 1024) {
    const std::string options = options_for(sim);
    return call_with_buffers(
        [&](char* out, int n, char* err, int e) {
            return tandrel_read_points("127.0.0.1", meter, options.c_str(), points, out, n, err, e);
        },
        out_len);
}

const std::string EM235_HEAD =
    "{\"meter\":\"em235\",\"host\":\"127.0.0.1\",\"timestamp\":\"T\",\"readings\":[";

TEST(ReadPoints, WritesReadingsInSelectionOrderWithScaledValues) {
    Simulator sim(Model::EM235, SimOptions::deterministic());
    fine_setup(sim);
    sim.set_point_raw(5378, 5000);
    sim.set_point_raw(4352, 2305);
    sim.set_point_raw(3843, -987);
    sim.set_point_raw(3072, 2311);
    sim.set_point_raw(5888, 123456789);
    sim.set_point_raw(4099, 12);
    sim.start();
    const CallResult r =
        read_points(sim, "em235", "[5378, 4352, 0x0F03, 3072, 3072, \"kWh import\", 4099]");
    EXPECT_EQ(r.status, 7) << r.err;
    const std::string v3072 = "{\"pid\":3072,\"name\":\"V1\",\"value\":231.1,\"unit\":\"V\"}";
    EXPECT_EQ(without_timestamp(r.out),
              EM235_HEAD +
                  "{\"pid\":5378,\"name\":\"Frequency\",\"value\":50.00,\"unit\":\"Hz\"},"
                  "{\"pid\":4352,\"name\":\"V1\",\"value\":230.5,\"unit\":\"V\"},"
                  "{\"pid\":3843,\"name\":\"Total PF\",\"value\":-0.987,\"unit\":\"\"}," +
                  v3072 + "," + v3072 +
                  ",{\"pid\":5888,\"name\":\"kWh import\",\"value\":123456.789,\"unit\":\"kWh\"},"
                  "{\"pid\":4099,\"name\":\"V unbalance\",\"value\":1.2,\"unit\":\"%\"}]}");
    // One request per family, in family order, whatever the selection order.
    EXPECT_EQ(
        reads(sim),
        concat(setup_reads(Model::EM235),
               {{0x3400, 2}, {0x3586, 2}, {0x3606, 2}, {0x3680, 2}, {0x3884, 2}, {0x3980, 2}}));
}

TEST(ReadPoints, ReadsOneSpanFromTheLowestToTheHighestPointOfAFamily) {
    struct SpanCase {
        Model model;
        const char* meter;
        const char* points;
        Read span;
    };
    const SpanCase cases[] = {
        {Model::EM235, "em235", "3104, 3072", {0x3400, 66}},
        {Model::EM133, "em133", "4224 4239", {0x3628, 32}},
        {Model::EM235, "em235", "4239,4224", {0x3640, 32}},
        {Model::EM133, "em133", "\"Energy REG16\"", {0x39C6, 2}},
        {Model::EM235, "em235", "\"Energy REG16\"", {0x39DE, 2}},
        {Model::EM235, "em235", "\"Max demand REG1\"", {0x51C0, 2}},
    };
    for (const SpanCase& c : cases) {
        SCOPED_TRACE(c.points);
        Simulator sim(c.model, SimOptions::deterministic());
        sim.start();
        const CallResult r = read_points(sim, c.meter, c.points);
        EXPECT_GT(r.status, 0) << r.err;
        EXPECT_EQ(reads(sim), concat(setup_reads(c.model), {c.span}));
    }
}

TEST(ReadPoints, CombinesTheTwoWordsLowFirstIntoASignedValue) {
    Simulator sim(Model::EM235, SimOptions::deterministic());
    fine_setup(sim);
    sim.set_energy_decimals(0);
    sim.set_summary_units({1, 8});
    sim.set_registers(static_cast<uint16_t>(Simulator::point_address(Model::EM235, 6016)),
                      {0x1234, 0xFFFF});
    sim.set_registers(static_cast<uint16_t>(Simulator::point_address(Model::EM235, 18305)),
                      {0x0010, 0x0000});
    sim.start();
    const CallResult r = read_points(sim, "em235", "6016 18305");
    EXPECT_EQ(without_timestamp(r.out),
              EM235_HEAD +
                  "{\"pid\":6016,\"name\":\"Energy REG1\",\"value\":-60876,\"unit\":\"kWh\"},"
                  "{\"pid\":18305,\"name\":\"Max demand REG2\",\"value\":0.016,\"unit\":\"MJ\"}]}");
}

TEST(ReadPoints, NamesAPointTheTableLacksByItsPosition) {
    Simulator sim(Model::EM235, SimOptions::deterministic());
    ASSERT_TRUE(sim.set_point_raw(3150, -77));
    sim.set_point_raw(3072, 5);
    sim.set_pt_ratio_x10(1000);
    sim.start();
    const CallResult r = read_points(sim, "em235", "3072, 3150");
    EXPECT_EQ(without_timestamp(r.out),
              EM235_HEAD +
                  "{\"pid\":3072,\"name\":\"V1\",\"value\":5,\"unit\":\"V\"},"
                  "{\"pid\":3150,\"name\":\"Param_2 (0x0C4E)\",\"value\":-77,\"unit\":\"\"}]}");
}

TEST(ReadPoints, ReadsAFamilyPointByPointWhenItsSpanFails) {
    Simulator whole(Model::EM235, SimOptions::deterministic());
    whole.start();
    const CallResult expected = read_points(whole, "em235", "4354, 4352, 3072");

    Simulator sim(Model::EM235, SimOptions::deterministic());
    const auto v2 = static_cast<uint16_t>(Simulator::point_address(Model::EM235, 4353));
    sim.reject_range(v2, static_cast<uint16_t>(v2 + 1));
    sim.start();
    LogCapture log;
    const CallResult r = read_points(sim, "em235", "4354, 4352, 3072");
    EXPECT_EQ(r.status, 3) << r.err;
    EXPECT_EQ(without_timestamp(r.out), without_timestamp(expected.out));
    EXPECT_EQ(log.at_levels({0, 1, 2, 3}),
              (std::vector<Logged>{{3,
                                    "Block 1-second phase values span failed (Modbus "
                                    "exception 2), reading points one by one"}}));
    EXPECT_EQ(reads(sim), concat(setup_reads(Model::EM235),
                                 {{0x3400, 2}, {0x3680, 6}, {0x3684, 2}, {0x3680, 2}}));
}

TEST(ReadPoints, LeavesOutAPointTheMeterRejects) {
    Simulator sim(Model::EM235, SimOptions::deterministic());
    fine_setup(sim);
    sim.set_point_raw(4352, 2305);
    sim.reject_range(static_cast<uint16_t>(Simulator::point_address(Model::EM235, 4353)),
                     static_cast<uint16_t>(Simulator::point_address(Model::EM235, 4353) + 1), 3);
    sim.start();
    LogCapture log;
    const CallResult r = read_points(sim, "em235", "4353, 4352, 4353");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(without_timestamp(r.out),
              EM235_HEAD + "{\"pid\":4352,\"name\":\"V1\",\"value\":230.5,\"unit\":\"V\"}]}");
    const std::string rejected = "Point 0x1101 not readable on this meter: Modbus exception 3";
    EXPECT_EQ(log.at_levels({0, 1, 3}),
              (std::vector<Logged>{{3,
                                    "Block 1-second phase values span failed (Modbus "
                                    "exception 3), reading points one by one"},
                                   {1, rejected},
                                   {1, rejected}}));
}

TEST(ReadPoints, FailsWithTheLastErrorWhenNothingCouldBeRead) {
    Simulator sim(Model::EM235, SimOptions::deterministic());
    sim.reject_range(0x3400, 0x3401, 2);
    sim.reject_range(0x3680, 0x3681, 4);
    sim.start();
    LogCapture log;
    const CallResult r = read_points(sim, "em235", "4352 3072");
    EXPECT_EQ(r.status, -1);
    EXPECT_EQ(r.err, "No values could be read: Modbus exception 4");
    EXPECT_EQ(r.out, "");
    const auto messages = log.at_levels({0});
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, r.err);
}

TEST(ReadPoints, ReportsAMeterThatCannotBeReached) {
    uint16_t port = 0;
    {
        Simulator gone(Model::EM235, SimOptions::deterministic());
        gone.start();
        port = gone.port();
    }
    const std::string options = "{\"port\":" + std::to_string(port) + ",\"timeout_ms\":2000}";
    char out[64];
    char err[128];
    EXPECT_EQ(tandrel_read_points("127.0.0.1", "em235", options.c_str(), "4352", out, sizeof out,
                                  err, sizeof err),
              -1);
    EXPECT_EQ(std::string(err), "Cannot connect to 127.0.0.1:" + std::to_string(port));
}

struct RejectCase {
    const char* meter;
    const char* points;
    const char* options;
    const char* message;
};

const RejectCase REJECT_CASES[] = {
    {"em2350", nullptr, "{}", "Unknown meter model 'em2350' (expected em133 or em235)"},
    // One of the list's own messages (all are unit-tested with the parser).
    {"em235", "70000", "{}", "points: 70000 is not a 16-bit point ID"},
    {"em235", "[]", "{}", "points: at least one point is required"},
    {"em235", "V1", "{\"port\":0}", "points: unexpected item V1"},
    {"em235", "4352", "{\"unit_id\":256}", "options.unit_id must be 0-255"},
    {"bad", "V1", "{\"port\":0}", "Unknown meter model 'bad' (expected em133 or em235)"},
};

TEST(ReadPoints, RejectsBadArgumentsBeforeConnecting) {
    Simulator sim(Model::EM235, SimOptions::deterministic());
    sim.start();
    for (const RejectCase& c : REJECT_CASES) {
        char out[64] = "untouched";
        char err[128];
        EXPECT_EQ(tandrel_read_points("127.0.0.1", c.meter, c.options, c.points, out, sizeof out,
                                      err, sizeof err),
                  -1);
        EXPECT_STREQ(err, c.message) << (c.points ? c.points : "(null)");
        EXPECT_STREQ(out, "untouched");
    }
    EXPECT_EQ(sim.connections_accepted(), 0);
}

}  // namespace
