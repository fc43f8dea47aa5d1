// Builds the point table from the regular layout of the register maps: the
// phase and total families repeat for 1-cycle and 1-second values, and the
// summary and tariff registers repeat for numbers 1 to 16.
#include "meter/point_table.h"

#include "meter/model_profile.h"

namespace tandrel {
namespace {

using Table = std::map<uint16_t, ParamDef>;

const char* const VL[] = {"V1", "V2", "V3"};
const char* const IL[] = {"I1", "I2", "I3"};
const char* const VLL[] = {"V12", "V23", "V31"};

// First entry wins, as in the table's definition.
void add(Table& t, int id, std::string name, const char* unit, Kind kind, int summary = 0) {
    t.emplace(static_cast<uint16_t>(id), ParamDef{std::move(name), unit, kind, summary});
}

void add_phase_family(Table& t, int base) {
    for (int i = 0; i < 3; ++i) {
        const std::string n = std::to_string(i + 1);
        add(t, base + i, VL[i], "V", Kind::Voltage);
        add(t, base + 3 + i, IL[i], "A", Kind::Current);
        add(t, base + 6 + i, "kW L" + n, "kW", Kind::Power);
        add(t, base + 9 + i, "kvar L" + n, "kvar", Kind::Power);
        add(t, base + 12 + i, "kVA L" + n, "kVA", Kind::Power);
        add(t, base + 15 + i, "PF L" + n, "", Kind::PowerFactor);
        add(t, base + 18 + i, std::string(VL[i]) + " THD", "%", Kind::Percent);
        add(t, base + 21 + i, std::string(IL[i]) + " THD", "%", Kind::Percent);
        add(t, base + 24 + i, std::string(IL[i]) + " K-Factor", "", Kind::KFactor);
        add(t, base + 27 + i, std::string(IL[i]) + " TDD", "%", Kind::Percent);
        add(t, base + 30 + i, VLL[i], "V", Kind::Voltage);
    }
}

void add_total_family(Table& t, int base) {
    add(t, base + 0, "Total kW", "kW", Kind::Power);
    add(t, base + 1, "Total kvar", "kvar", Kind::Power);
    add(t, base + 2, "Total kVA", "kVA", Kind::Power);
    add(t, base + 3, "Total PF", "", Kind::PowerFactor);
    add(t, base + 4, "Total PF lag", "", Kind::PowerFactor);
    add(t, base + 5, "Total PF lead", "", Kind::PowerFactor);
    add(t, base + 6, "Total kW import", "kW", Kind::Power);
    add(t, base + 7, "Total kW export", "kW", Kind::Power);
    add(t, base + 8, "Total kvar import", "kvar", Kind::Power);
    add(t, base + 9, "Total kvar export", "kvar", Kind::Power);
    add(t, base + 10, "V avg", "V", Kind::Voltage);
    add(t, base + 11, "V L-L avg", "V", Kind::Voltage);
    add(t, base + 12, "I avg", "A", Kind::Current);
}

void add_auxiliary(Table& t) {
    for (const int base : {4096, 5376}) {
        add(t, base + 0, "I4", "A", Kind::Current);
        add(t, base + 1, "In", "A", Kind::Current);
        add(t, base + 2, "Frequency", "Hz", Kind::FrequencyCentiHz);
        add(t, base + 3, "V unbalance", "%", Kind::Unbalance);
        add(t, base + 4, "I unbalance", "%", Kind::Unbalance);
    }
    add(t, 4104, "Frequency", "Hz", Kind::FrequencyMilliHz);
    add(t, 4106, "I leakage", "A", Kind::Current);
    add(t, 4107, "FREQ4C", "Hz", Kind::FrequencyMilliHz);
    add(t, 4108, "FREQ4", "Hz", Kind::FrequencyTenthMilliHz);
    add(t, 5386, "Frequency", "Hz", Kind::FrequencyMilliHz);
    add(t, 5390, "I leakage", "A", Kind::Current);
}

void add_total_energies(Table& t) {
    const char* const names[] = {"kWh import",   "kWh export",   "kWh net",   "kWh total",
                                 "kvarh import", "kvarh export", "kvarh net", "kvarh total"};
    for (int i = 0; i < 8; ++i) add(t, 5888 + i, names[i], i < 4 ? "kWh" : "kvarh", Kind::Energy);
    add(t, 5896, "kVAh total", "kVAh", Kind::Energy);
    add(t, 5899, "kVAh import", "kVAh", Kind::Energy);
    add(t, 5900, "kVAh export", "kVAh", Kind::Energy);
}

void add_phasors(Table& t) {
    for (int i = 0; i < 3; ++i) {
        add(t, 4224 + i, std::string(VL[i]) + " mag", "V", Kind::Voltage);
        add(t, 4228 + i, std::string(IL[i]) + " mag", "A", Kind::Current);
        add(t, 4232 + i, std::string(VL[i]) + " angle", "deg", Kind::Angle);
        add(t, 4236 + i, std::string(IL[i]) + " angle", "deg", Kind::Angle);
    }
    add(t, 4231, "I4 mag", "A", Kind::Current);
    add(t, 4239, "I4 angle", "deg", Kind::Angle);
}

// The unit of a power demand follows the first word of its name.
const char* power_unit(const std::string& name) {
    if (name.rfind("kvar", 0) == 0) return "kvar";
    if (name.rfind("kVA", 0) == 0) return "kVA";
    return "kW";
}

void add_present_demands(Table& t) {
    for (int i = 0; i < 3; ++i) {
        add(t, 5632 + i, std::string(VL[i]) + " demand", "V", Kind::Voltage);
        add(t, 5635 + i, std::string(IL[i]) + " demand", "A", Kind::Current);
    }
    const std::pair<int, const char*> powers[] = {{5638, "kW import block demand"},
                                                  {5639, "kvar import block demand"},
                                                  {5640, "kVA block demand"},
                                                  {5641, "kW import SW demand"},
                                                  {5642, "kvar import SW demand"},
                                                  {5643, "kVA SW demand"},
                                                  {5647, "kW import acc demand"},
                                                  {5648, "kvar import acc demand"},
                                                  {5649, "kVA acc demand"},
                                                  {5650, "kW import predicted demand"},
                                                  {5651, "kvar import predicted demand"},
                                                  {5652, "kVA predicted demand"},
                                                  {5654, "kW export block demand"},
                                                  {5655, "kvar export block demand"},
                                                  {5656, "kW export SW demand"},
                                                  {5657, "kvar export SW demand"},
                                                  {5658, "kW export acc demand"},
                                                  {5659, "kvar export acc demand"},
                                                  {5660, "kW export predicted demand"},
                                                  {5661, "kvar export predicted demand"}};
    for (const auto& [id, name] : powers) add(t, id, name, power_unit(name), Kind::Power);
    add(t, 5653, "PF at max kVA demand", "", Kind::PowerFactor);
    add(t, 5666, "In demand", "A", Kind::Current);
}

void add_max_demands(Table& t) {
    for (int i = 0; i < 3; ++i) {
        add(t, 14080 + i, std::string(VL[i]) + " max demand", "V", Kind::Voltage);
        add(t, 14083 + i, std::string(IL[i]) + " max demand", "A", Kind::Current);
    }
    add(t, 14089, "Max kW import SW demand", "kW", Kind::Power);
    add(t, 14090, "Max kvar import SW demand", "kvar", Kind::Power);
    add(t, 14091, "Max kVA SW demand", "kVA", Kind::Power);
    add(t, 14095, "Max kW export SW demand", "kW", Kind::Power);
    add(t, 14096, "Max kvar export SW demand", "kvar", Kind::Power);
    add(t, 14101, "In max demand", "A", Kind::Current);
}

void add_numbered_registers(Table& t) {
    for (int n = 1; n <= 16; ++n) {
        const std::string s = std::to_string(n);
        add(t, 6015 + n, "Energy REG" + s, "", Kind::Energy, n);
        add(t, 18303 + n, "Max demand REG" + s, "", Kind::Power, n);
        add(t, 28671 + n, "Tariff " + s + " energy", "", Kind::Energy);
        add(t, 28927 + n, "Tariff " + s + " max demand", "", Kind::Power);
    }
}

Table build_param_table() {
    Table t;
    add_phase_family(t, 3072);
    add_phase_family(t, 4352);
    add_total_family(t, 3840);
    add_total_family(t, 5120);
    add_auxiliary(t);
    add_total_energies(t);
    add_phasors(t);
    add_present_demands(t);
    add_max_demands(t);
    add_numbered_registers(t);
    return t;
}

}  // namespace

const std::map<uint16_t, ParamDef>& param_table() {
    static const Table table = build_param_table();
    return table;
}

const FamilyBlock* find_family(uint16_t point_id) {
    const uint16_t base = static_cast<uint16_t>(point_id & 0xFF80);
    for (const FamilyBlock& f : FAMILY_BLOCKS) {
        if (f.pid_base == base) return &f;
    }
    return nullptr;
}

uint16_t point_register(const FamilyBlock& family, uint16_t point_id, MeterModel model) {
    const auto index = static_cast<size_t>(&family - FAMILY_BLOCKS.data());
    const uint16_t start = model_profile(model).family_registers[index];
    return static_cast<uint16_t>(start + 2 * (point_id - family.pid_base));
}

}  // namespace tandrel
