// The simulated meter's register answers, read over loopback with a bare
// client. Identity, register removal, the diagnostics word and the request
// log are checked with fixed expectations through the library in
// tests/integration.
#include <gtest/gtest.h>

#include "sim/simulator.h"
#include "sim_test_client.h"

using namespace tandrel_sim;
using sim_test::RawClient;

TEST(SimulatorSetup, AnswersTheModelsSetupRegisters) {
    Simulator em133(Model::EM133, SimOptions::deterministic());
    Simulator em235(Model::EM235, SimOptions::deterministic());
    em133.start();
    em235.start();
    RawClient a(em133.port());
    RawClient b(em235.port());
    EXPECT_EQ(a.read(reg::EM133_PT_RATIO, 1)[0], 10);
    EXPECT_EQ(a.read(reg::EM133_HIGH_RES, 1)[0], 1);
    EXPECT_EQ(b.read(reg::EM235_PT_RATIO, 1)[0], 10);
    EXPECT_EQ(b.read(reg::EM235_ENERGY_DECIMALS, 1)[0], 3);
    // Summary register setup: 12 registers on the EM133, 16 on the EM235.
    EXPECT_EQ(a.read(reg::SUMMARY_SETUP + 44, 4).size(), 4u);
    EXPECT_EQ(a.exception_of(sim_test::read_pdu(reg::SUMMARY_SETUP + 48, 4)), 2);
    EXPECT_EQ(b.read(reg::SUMMARY_SETUP + 60, 4).size(), 4u);
    // Registers of the other model are absent.
    EXPECT_EQ(a.exception_of(sim_test::read_pdu(reg::EM235_PT_RATIO, 1)), 2);
    EXPECT_EQ(b.exception_of(sim_test::read_pdu(reg::EM133_HIGH_RES, 1)), 2);
}

TEST(SimulatorPoints, Em133LacksSomePointsAndAnswersException2) {
    Simulator em133(Model::EM133, SimOptions::deterministic());
    Simulator em235(Model::EM235, SimOptions::deterministic());
    em133.start();
    em235.start();
    RawClient a(em133.port());
    RawClient b(em235.port());
    for (std::uint16_t pid : {5376, 5390, 5890, 5891, 5894, 5895}) {
        const auto a_addr = static_cast<std::uint16_t>(Simulator::point_address(Model::EM133, pid));
        const auto b_addr = static_cast<std::uint16_t>(Simulator::point_address(Model::EM235, pid));
        EXPECT_EQ(a.exception_of(sim_test::read_pdu(a_addr, 2)), 2) << pid;
        EXPECT_EQ(b.exception_of(sim_test::read_pdu(b_addr, 2)), 0) << pid;
    }
    // The rest of a family reads in one span, gaps in the point table included.
    EXPECT_EQ(a.read(0x3400, 66).size(), 66u);
    EXPECT_EQ(a.read(0x3628, 32).size(), 32u);
    EXPECT_EQ(b.read(0x3640, 32).size(), 32u);
}

TEST(SimulatorPoints, ValuesAreScaledAsTheSetupSays) {
    Simulator sim(Model::EM133, SimOptions::deterministic());
    sim.start();
    RawClient c(sim.port());
    const auto v1 = static_cast<std::uint16_t>(Simulator::point_address(Model::EM133, 4352));
    const std::int32_t fine = sim_test::i32(c.read(v1, 2), 0);
    EXPECT_GT(fine, 2200);  // 0.1 V steps around 230 V
    EXPECT_LT(fine, 2400);
    c.write_single(reg::EM133_HIGH_RES, 0);
    const std::int32_t coarse = sim_test::i32(c.read(v1, 2), 0);
    EXPECT_GE(coarse, 220);  // whole volts
    EXPECT_LE(coarse, 240);
    const auto freq = static_cast<std::uint16_t>(Simulator::point_address(Model::EM133, 5378));
    EXPECT_NEAR(sim_test::i32(c.read(freq, 2), 0), 5000, 10);  // 0.01 Hz steps
}

TEST(SimulatorPoints, DeterministicValuesDoNotChange) {
    Simulator sim(Model::EM235, SimOptions::deterministic());
    sim.start();
    RawClient c(sim.port());
    const std::vector<std::uint16_t> first = c.read(0x3400, 66);
    EXPECT_EQ(c.read(0x3400, 66), first);
    Simulator other(Model::EM235, SimOptions::deterministic());
    other.start();
    RawClient d(other.port());
    EXPECT_EQ(d.read(0x3400, 66), first);
}

TEST(SimulatorPoints, SetPointRawIsKeptAgainstLiveValues) {
    Simulator sim(Model::EM235);  // live
    ASSERT_TRUE(sim.set_point_raw(5888, -60876));
    EXPECT_FALSE(sim.set_point_raw(28672, 1));
    sim.start();
    RawClient c(sim.port());
    const auto a = static_cast<std::uint16_t>(Simulator::point_address(Model::EM235, 5888));
    EXPECT_EQ(c.read(a, 2), (std::vector<std::uint16_t>{0x1234, 0xFFFF}));
    EXPECT_EQ(sim.point_raw(5888), -60876);
}

TEST(SimulatorRegisters, WritesAreKeptAndEchoed) {
    Simulator sim(Model::EM133, SimOptions::deterministic());
    sim.start();
    RawClient c(sim.port());
    const auto echo = c.exchange(sim_test::write_single_pdu(reg::EM133_CLOCK_PARAM, 7));
    ASSERT_TRUE(echo);
    EXPECT_EQ(echo->pdu, sim_test::write_single_pdu(reg::EM133_CLOCK_PARAM, 7));
    EXPECT_EQ(sim.register_value(reg::EM133_CLOCK_PARAM), 7);
    const auto multi = c.exchange(sim_test::write_multiple_pdu(reg::EM133_CLOCK_PARAM, {0}));
    ASSERT_TRUE(multi);
    EXPECT_EQ(multi->pdu, (std::vector<std::uint8_t>{16, 0x0A, 0x0F, 0, 1}));
    EXPECT_EQ(c.exception_of(sim_test::write_single_pdu(0x0001, 1)), 2);  // no such register
}

TEST(SimulatorClock, Em133ClockIsKeptAfterAWrite) {
    Simulator sim(Model::EM133, SimOptions::deterministic());
    sim.start();
    RawClient c(sim.port());
    // Sunday 2026-03-01 08:05:09, weekday 1.
    c.write(reg::EM133_CLOCK, {9, 5, 8, 1, 3, 26, 1});
    EXPECT_EQ(c.read(reg::EM133_CLOCK, 7), (std::vector<std::uint16_t>{9, 5, 8, 1, 3, 26, 1}));
    EXPECT_EQ(sim.clock_seconds(), 1772352309u);
    sim.set_clock(1767225600);  // Thursday 2026-01-01 00:00:00
    EXPECT_EQ(c.read(reg::EM133_CLOCK, 7), (std::vector<std::uint16_t>{0, 0, 0, 1, 1, 26, 5}));
}

