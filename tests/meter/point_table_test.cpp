#include "meter/point_table.h"

#include <gtest/gtest.h>

#include <set>

namespace tandrel {
namespace {

struct PointCase {
    uint16_t id;
    const char* name;
    const char* unit;
    Kind kind;
    int summary_register;
};

// One or more points from every rule of the table, with the ones that are
// easy to get wrong: repeated names, absent neighbours, unit from the name.
const PointCase POINTS[] = {
    {3072, "V1", "V", Kind::Voltage, 0},
    {3077, "I3", "A", Kind::Current, 0},
    {3086, "kVA L3", "kVA", Kind::Power, 0},
    {3087, "PF L1", "", Kind::PowerFactor, 0},
    {3092, "V3 THD", "%", Kind::Percent, 0},
    {3096, "I1 K-Factor", "", Kind::KFactor, 0},
    {3101, "I3 TDD", "%", Kind::Percent, 0},
    {3104, "V31", "V", Kind::Voltage, 0},
    {3843, "Total PF", "", Kind::PowerFactor, 0},
    {3852, "I avg", "A", Kind::Current, 0},
    {4098, "Frequency", "Hz", Kind::FrequencyCentiHz, 0},
    {4104, "Frequency", "Hz", Kind::FrequencyMilliHz, 0},
    {4107, "FREQ4C", "Hz", Kind::FrequencyMilliHz, 0},
    {4108, "FREQ4", "Hz", Kind::FrequencyTenthMilliHz, 0},
    {4231, "I4 mag", "A", Kind::Current, 0},
    {4239, "I4 angle", "deg", Kind::Angle, 0},
    {4352, "V1", "V", Kind::Voltage, 0},
    {4383, "V23", "V", Kind::Voltage, 0},
    {5120, "Total kW", "kW", Kind::Power, 0},
    {5131, "V L-L avg", "V", Kind::Voltage, 0},
    {5378, "Frequency", "Hz", Kind::FrequencyCentiHz, 0},
    {5379, "V unbalance", "%", Kind::Unbalance, 0},
    {5386, "Frequency", "Hz", Kind::FrequencyMilliHz, 0},
    {5390, "I leakage", "A", Kind::Current, 0},
    {5637, "I3 demand", "A", Kind::Current, 0},
    {5640, "kVA block demand", "kVA", Kind::Power, 0},
    {5648, "kvar import acc demand", "kvar", Kind::Power, 0},
    {5653, "PF at max kVA demand", "", Kind::PowerFactor, 0},
    {5660, "kW export predicted demand", "kW", Kind::Power, 0},
    {5666, "In demand", "A", Kind::Current, 0},
    {5891, "kWh total", "kWh", Kind::Energy, 0},
    {5894, "kvarh net", "kvarh", Kind::Energy, 0},
    {5900, "kVAh export", "kVAh", Kind::Energy, 0},
    {6018, "Energy REG3", "", Kind::Energy, 3},
    {6031, "Energy REG16", "", Kind::Energy, 16},
    {14083, "I1 max demand", "A", Kind::Current, 0},
    {14091, "Max kVA SW demand", "kVA", Kind::Power, 0},
    {14101, "In max demand", "A", Kind::Current, 0},
    {18304, "Max demand REG1", "", Kind::Power, 1},
    {28674, "Tariff 3 energy", "", Kind::Energy, 0},
    {28943, "Tariff 16 max demand", "", Kind::Power, 0},
};

TEST(PointTable, HoldsEachPointWithItsNameUnitAndKind) {
    const auto& table = param_table();
    for (const PointCase& c : POINTS) {
        SCOPED_TRACE(c.id);
        const auto it = table.find(c.id);
        ASSERT_NE(it, table.end());
        EXPECT_EQ(it->second.name, c.name);
        EXPECT_EQ(it->second.unit, c.unit);
        EXPECT_EQ(it->second.kind, c.kind);
        EXPECT_EQ(it->second.summary_register, c.summary_register);
    }
}

TEST(PointTable, LeavesTheGapsOfTheRegisterMapsEmpty) {
    for (const uint16_t id : {4101, 4227, 4235, 5381, 5644, 5897, 5898, 14086, 3105, 6032}) {
        EXPECT_EQ(param_table().count(id), 0u) << id;
    }
}

TEST(PointTable, Holds237PointsOf205InFamiliesIteratedAscending) {
    const auto& table = param_table();
    EXPECT_EQ(table.size(), 237u);
    EXPECT_EQ(table.begin()->first, 3072);
    EXPECT_EQ(table.rbegin()->first, 28943);
    int in_family = 0;
    for (const auto& entry : table) in_family += find_family(entry.first) != nullptr;
    EXPECT_EQ(in_family, 205);
}

TEST(PointTable, CountsPointsPerFamilyAsTheRegisterMapsDo) {
    const int expected[] = {33, 13, 9, 14, 33, 13, 7, 28, 11, 16, 12, 16};
    for (size_t f = 0; f < FAMILY_BLOCKS.size(); ++f) {
        int n = 0;
        for (const auto& entry : param_table()) n += find_family(entry.first) == &FAMILY_BLOCKS[f];
        EXPECT_EQ(n, expected[f]) << FAMILY_BLOCKS[f].name;
    }
}

TEST(FindFamily, MatchesTheIdWithItsLowSevenBitsCleared) {
    ASSERT_NE(find_family(4227), nullptr);
    EXPECT_EQ(find_family(4227)->pid_base, 0x1080);
    EXPECT_EQ(find_family(3150)->pid_base, 0x0C00);
    EXPECT_EQ(find_family(0x0C7F)->pid_base, 0x0C00);
    EXPECT_EQ(find_family(0x47FF)->pid_base, 0x4780);
    for (const uint16_t none : {0, 0x0BFF, 0x0C80, 0x1180, 0x7000, 0x71FF, 0xFFFF}) {
        EXPECT_EQ(find_family(none), nullptr) << none;
    }
}

TEST(FamilyBlocks, PlaceEm235RegistersByTheCommonRuleAndEm133ThreeFamiliesLower) {
    for (const FamilyBlock& f : FAMILY_BLOCKS) {
        SCOPED_TRACE(f.name);
        EXPECT_EQ(f.pid_base % 128, 0);
        const int em235 = 0x3400 + (f.pid_base - 0x0C00) / 2;
        EXPECT_EQ(f.reg_em235, em235);
        const bool lower = f.pid_base == 0x1080 || f.pid_base == 0x1780 || f.pid_base == 0x4780;
        EXPECT_EQ(f.reg_em133, lower ? em235 - 24 : em235);
    }
}

}  // namespace
}  // namespace tandrel
