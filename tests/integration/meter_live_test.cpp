#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "meter_fixture.h"
#include "tandrel.h"

namespace {

using meter_test::call_with_buffers;
using meter_test::CallResult;
using meter_test::concat;
using meter_test::decimal_text;
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

struct LivePoint {
    uint16_t pid;
    const char* name;
    const char* unit;
    int decimals;  // on a directly wired EM133 with high resolution and 2 energy decimals
};

// The EM133 live set as its register map lists it.
const LivePoint EM133_LIVE[] = {
    {4352, "V1", "V", 1}, {4353, "V2", "V", 1}, {4354, "V3", "V", 1}, {4355, "I1", "A", 2},
    {4356, "I2", "A", 2}, {4357, "I3", "A", 2}, {4358, "kW L1", "kW", 3}, {4359, "kW L2", "kW", 3},
    {4360, "kW L3", "kW", 3}, {4361, "kvar L1", "kvar", 3}, {4362, "kvar L2", "kvar", 3},
    {4363, "kvar L3", "kvar", 3}, {4364, "kVA L1", "kVA", 3}, {4365, "kVA L2", "kVA", 3},
    {4366, "kVA L3", "kVA", 3}, {4367, "PF L1", "", 3}, {4368, "PF L2", "", 3},
    {4369, "PF L3", "", 3}, {4370, "V1 THD", "%", 1}, {4371, "V2 THD", "%", 1},
    {4372, "V3 THD", "%", 1}, {4373, "I1 THD", "%", 1}, {4374, "I2 THD", "%", 1},
    {4375, "I3 THD", "%", 1}, {4376, "I1 K-Factor", "", 1}, {4377, "I2 K-Factor", "", 1},
    {4378, "I3 K-Factor", "", 1}, {4379, "I1 TDD", "%", 1}, {4380, "I2 TDD", "%", 1},
    {4381, "I3 TDD", "%", 1}, {4382, "V12", "V", 1}, {4383, "V23", "V", 1}, {4384, "V31", "V", 1},
    {5120, "Total kW", "kW", 3}, {5121, "Total kvar", "kvar", 3}, {5122, "Total kVA", "kVA", 3},
    {5123, "Total PF", "", 3}, {5124, "Total PF lag", "", 3}, {5125, "Total PF lead", "", 3},
    {5126, "Total kW import", "kW", 3}, {5127, "Total kW export", "kW", 3},
    {5128, "Total kvar import", "kvar", 3}, {5129, "Total kvar export", "kvar", 3},
    {5130, "V avg", "V", 1}, {5131, "V L-L avg", "V", 1}, {5132, "I avg", "A", 2},
    {5377, "In", "A", 2}, {5378, "Frequency", "Hz", 2}, {5379, "V unbalance", "%", 0},
    {5380, "I unbalance", "%", 0}, {5888, "kWh import", "kWh", 2}, {5889, "kWh export", "kWh", 2},
    {5892, "kvarh import", "kvarh", 2}, {5893, "kvarh export", "kvarh", 2},
    {5896, "kVAh total", "kVAh", 2},
};

// Distinct per point, some negative, so a value in the wrong place shows.
int32_t pattern_raw(uint16_t pid) { return (pid % 3 == 0 ? -1 : 1) * (pid * 37 % 100003); }

CallResult read_live_ex(const Simulator& sim, const char* meter) {
    const std::string options = options_for(sim);
    return call_with_buffers([&](char* out, int n, char* err, int e) {
        return tandrel_read_live_ex("127.0.0.1", meter, options.c_str(), out, n, err, e);
    });
}

TEST(ReadLive, WritesTheWholeEm133LiveSet) {
    Simulator sim(Model::EM133, SimOptions::deterministic());
    sim.set_pt_ratio_x10(10);
    sim.set_high_resolution(true);
    sim.set_energy_decimals(2);
    for (const LivePoint& p : EM133_LIVE) sim.set_point_raw(p.pid, pattern_raw(p.pid));
    sim.start();
    std::string expected =
        "{\"meter\":\"em133\",\"host\":\"127.0.0.1\",\"timestamp\":\"T\",\"readings\":[";
    for (const LivePoint& p : EM133_LIVE) {
        if (p.pid != EM133_LIVE[0].pid) expected += ",";
        expected += "{\"pid\":" + std::to_string(p.pid) + ",\"name\":\"" + p.name +
                    "\",\"value\":" + decimal_text(pattern_raw(p.pid), p.decimals) +
                    ",\"unit\":\"" + p.unit + "\"}";
    }
    expected += "]}";
    const CallResult r = read_live_ex(sim, "em133");
    EXPECT_EQ(r.status, 55) << r.err;
    EXPECT_EQ(without_timestamp(r.out), expected);
}

size_t reading_count(const std::string& doc) {
    size_t n = 0;
    for (size_t at = doc.find("{\"pid\":"); at != std::string::npos;
         at = doc.find("{\"pid\":", at + 1)) {
        ++n;
    }
    return n;
}

// The EM133 lacks the net and total energies; this meter still answers their
// registers, so the energy span reads in one piece.
void answer_em235_only_energies(Simulator& sim) {
    for (const uint16_t pid : {5890, 5891, 5894, 5895}) sim.set_point_raw(pid, 0);
}

TEST(ReadLive, CostsTheSetupReadsAndFourSpans) {
    struct Case {
        Model model;
        const char* meter;
        int readings;
        Read auxiliary;
    };
    for (const Case& c : {Case{Model::EM133, "em133", 55, {0x3882, 8}},
                          Case{Model::EM235, "em235", 61, {0x3880, 30}},
                          Case{Model::EM235, "PM335", 61, {0x3880, 30}}}) {
        SCOPED_TRACE(c.meter);
        Simulator sim(c.model, SimOptions::deterministic());
        if (c.model == Model::EM133) answer_em235_only_energies(sim);
        sim.start();
        const CallResult r = read_live_ex(sim, c.meter);
        EXPECT_EQ(r.status, c.readings) << r.err;
        EXPECT_EQ(reads(sim), concat(setup_reads(c.model),
                                     {{0x3680, 66}, {0x3800, 26}, c.auxiliary, {0x3980, 18}}));
        EXPECT_EQ(reading_count(r.out), static_cast<size_t>(c.readings));
    }
}

TEST(ReadLive, ReadsTheEnergiesSinglyOnAnEm133ThatRejectsTheGapsOfItsSpan) {
    Simulator lenient(Model::EM133, SimOptions::deterministic());
    answer_em235_only_energies(lenient);
    lenient.start();
    const CallResult expected = read_live_ex(lenient, "em133");

    Simulator sim(Model::EM133, SimOptions::deterministic());
    sim.start();
    LogCapture log;
    const CallResult r = read_live_ex(sim, "em133");
    EXPECT_EQ(r.status, 55) << r.err;
    EXPECT_EQ(without_timestamp(r.out), without_timestamp(expected.out));
    EXPECT_EQ(reads(sim), concat(setup_reads(Model::EM133), {{0x3680, 66},
                                                             {0x3800, 26},
                                                             {0x3882, 8},
                                                             {0x3980, 18},
                                                             {0x3980, 2},
                                                             {0x3982, 2},
                                                             {0x3988, 2},
                                                             {0x398A, 2},
                                                             {0x3990, 2}}));
    EXPECT_EQ(log.at_levels({0, 1, 2, 3}),
              (std::vector<Logged>{{3,
                                    "Block total energies span failed (Modbus exception 2), "
                                    "reading points one by one"}}));
}

TEST(ReadLive, PrintsWholeRawValuesOnAMeterWithoutSetup) {
    Simulator sim(Model::EM235, SimOptions::deterministic());
    sim.remove_registers(0xB481, 0xB481);
    sim.remove_registers(0xB4B2, 0xB4B2);
    sim.remove_registers(0xDD60, 0xDD9F);
    sim.set_point_raw(4352, 2305);
    sim.set_point_raw(5888, -4);
    sim.set_point_raw(5378, 4999);
    sim.start();
    const CallResult r = read_live_ex(sim, "em235");
    EXPECT_EQ(r.status, 61) << r.err;
    EXPECT_NE(
        r.out.find("\"readings\":[{\"pid\":4352,\"name\":\"V1\",\"value\":2305,\"unit\":\"V\"},"),
        std::string::npos);
    EXPECT_NE(r.out.find("{\"pid\":5888,\"name\":\"kWh import\",\"value\":-4,\"unit\":\"kWh\"}"),
              std::string::npos);
    EXPECT_NE(r.out.find("{\"pid\":5378,\"name\":\"Frequency\",\"value\":49.99,\"unit\":\"Hz\"}"),
              std::string::npos);
}

// The short form connects to the default port 502; a loopback address of
// its own keeps it apart from anything else listening there.
TEST(ReadLive, ShortFormUsesTheDefaultPort) {
    Simulator sim(Model::EM235, SimOptions::deterministic());
    try {
        sim.start("127.83.41.7", 502);
    } catch (const std::runtime_error& e) {
        GTEST_SKIP() << "port 502 not available: " << e.what();
    }
    const CallResult r = call_with_buffers([](char* out, int n, char* err, int e) {
        return tandrel_read_live("127.83.41.7", "em235", out, n, err, e);
    });
    EXPECT_EQ(r.status, 61) << r.err;
    EXPECT_EQ(r.out.rfind("{\"meter\":\"em235\",\"host\":\"127.83.41.7\",\"timestamp\":\"", 0), 0u);
    ASSERT_FALSE(sim.requests().empty());
    EXPECT_EQ(sim.requests().front().unit_id, 1);
}

}  // namespace
