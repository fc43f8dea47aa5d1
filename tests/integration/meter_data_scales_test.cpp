#include <gtest/gtest.h>

#include "meter/data_scales.h"
#include "meter_fixture.h"
#include "modbus/modbus_tcp_client.h"

namespace tandrel {
namespace {

using meter_test::Read;
using meter_test::reads;
using meter_test::setup_reads;
using tandrel_sim::Model;
using tandrel_sim::SimOptions;
using tandrel_sim::Simulator;

DataScales scales_of(Simulator& sim, MeterModel model) {
    ModbusTcpClient client("127.0.0.1", sim.port(), 1, 2000);
    client.connect();
    return read_data_scales(client, model);
}

struct ResolutionCase {
    Model model;
    uint16_t ratio_x10;
    bool high_resolution;
    int voltage_decimals;
    int current_decimals;
    int power_decimals;
};

const ResolutionCase RESOLUTION_CASES[] = {
    {Model::EM133, 10, true, 1, 2, 3},   {Model::EM133, 10, false, 0, 0, 0},
    {Model::EM133, 1200, true, 0, 2, 0}, {Model::EM133, 0, true, 1, 2, 3},
    {Model::EM133, 11, true, 0, 2, 0},   {Model::EM235, 11, true, 0, 2, 0},
    {Model::EM235, 10, true, 1, 2, 3},   {Model::EM235, 5, true, 1, 2, 3},
    {Model::EM235, 3000, true, 0, 2, 0},
};


TEST(ReadDataScales, TakesResolutionFromRatioAndHighResolutionOption) {
    for (const ResolutionCase& c : RESOLUTION_CASES) {
        SCOPED_TRACE(std::to_string(c.ratio_x10) + (c.high_resolution ? " on" : " off"));
        Simulator sim(c.model, SimOptions::deterministic());
        sim.set_pt_ratio_x10(c.ratio_x10);
        sim.set_high_resolution(c.high_resolution);
        sim.start();
        const DataScales s =
            scales_of(sim, c.model == Model::EM133 ? MeterModel::EM133 : MeterModel::EM235);
        EXPECT_EQ(s.voltage_decimals, c.voltage_decimals);
        EXPECT_EQ(s.current_decimals, c.current_decimals);
        EXPECT_EQ(s.power_decimals, c.power_decimals);
    }
}

struct EnergyCase {
    Model model;
    uint16_t word;
    int decimals;
};

const EnergyCase ENERGY_CASES[] = {
    {Model::EM235, 3, 3}, {Model::EM235, 4, 0}, {Model::EM133, 4, 4},     {Model::EM133, 5, 0},
    {Model::EM133, 1, 1}, {Model::EM235, 0, 0}, {Model::EM235, 65535, 0},
};

TEST(ReadDataScales, AcceptsEnergyDecimalsUpToTheModelsLimit) {
    for (const EnergyCase& c : ENERGY_CASES) {
        SCOPED_TRACE(c.word);
        Simulator sim(c.model, SimOptions::deterministic());
        sim.set_energy_decimals(c.word);
        sim.start();
        const DataScales s =
            scales_of(sim, c.model == Model::EM133 ? MeterModel::EM133 : MeterModel::EM235);
        EXPECT_EQ(s.energy_decimals, c.decimals);
    }
}

TEST(ReadDataScales, SkipsTheOptionWordWhenTheRatioFails) {
    Simulator sim(Model::EM133, SimOptions::deterministic());
    sim.set_high_resolution(true);
    sim.set_energy_decimals(2);
    sim.remove_registers(0x0901, 0x0901);
    sim.start();
    const DataScales s = scales_of(sim, MeterModel::EM133);
    std::vector<Read> expected = setup_reads(Model::EM133);
    expected.erase(expected.begin() + 1);
    EXPECT_EQ(reads(sim), expected);
    EXPECT_EQ(s.current_decimals, 0);
    EXPECT_EQ(s.energy_decimals, 2);
}

TEST(ReadDataScales, KeepsTheSummaryUnitsUpToTheFirstRegisterNotAnswered) {
    Simulator sim(Model::EM235, SimOptions::deterministic());
    sim.set_summary_units({1, 2, 3, 4, 9, 5, 6, 7, 8, 0, 1, 1, 1, 1, 1, 1});
    sim.remove_registers(0xDD60 + 4 * 9, 0xDD9F);
    sim.start();
    const DataScales s = scales_of(sim, MeterModel::EM235);
    EXPECT_EQ(s.summary_units, (std::vector<std::string>{"kWh", "kvarh", "kVAh", "m3", "", "CF",
                                                         "CCF", "kL", "MJ"}));
    const std::vector<Read> all = reads(sim);
    ASSERT_FALSE(all.empty());
    EXPECT_EQ(all.back(), (Read{0xDD60 + 4 * 9, 4}));
}

TEST(ReadDataScales, FallsBackToDefaultsWhenNoSetupRegisterAnswers) {
    Simulator sim(Model::EM133, SimOptions::deterministic());
    sim.remove_registers(0x0901, 0x0901);
    sim.remove_registers(0x0956, 0x0959);
    sim.remove_registers(0xDD60, 0xDD9F);
    sim.start();
    const DataScales s = scales_of(sim, MeterModel::EM133);
    EXPECT_EQ(s.voltage_decimals + s.current_decimals + s.power_decimals + s.energy_decimals, 0);
    EXPECT_TRUE(s.summary_units.empty());
    EXPECT_EQ(reads(sim), (std::vector<Read>{{0x0901, 1}, {0x0959, 1}, {0xDD60, 4}}));
}

}  // namespace
}  // namespace tandrel
