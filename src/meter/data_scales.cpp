// The setup registers that decide the resolution of readings. Each read is
// optional: a meter that lacks a register answers with an exception, and the
// defaults (whole units) stay in force for that step only. A connection that
// breaks ends the call: defaults must never pass for the meter's setup.
#include "data_scales.h"

#include "modbus/modbus_tcp_client.h"

namespace tandrel {
namespace {

struct SetupRegisters {
    uint16_t pt_ratio;
    int energy_decimals_max;
    uint16_t energy_decimals;
    int summary_count;
};

constexpr uint16_t EM133_HIGH_RESOLUTION = 0x0956;
constexpr uint16_t SUMMARY_SETUP = 0xDD60;
constexpr uint16_t SUMMARY_SETUP_STRIDE = 4;

SetupRegisters setup_registers(MeterModel model) {
    switch (model) {
        case MeterModel::EM133:
            return {0x0901, 4, 0x0959, 12};
        case MeterModel::EM235:
            return {0xB481, 3, 0xB4B2, 16};
    }
    return {0xB481, 3, 0xB4B2, 16};
}

uint16_t read_one(ModbusTcpClient& client, uint16_t address) {
    return read_words(client, address, 1)[0];
}

// The ratio word is ten times the voltage transformer ratio; up to 1.05 the
// meter is wired directly and keeps the finer voltage and power resolution.
void apply_high_resolution(DataScales& s, uint16_t ratio_word) {
    s.current_scale = 0.01;
    s.current_decimals = 2;
    if (ratio_word * 0.1 <= 1.05) {
        s.voltage_scale = 0.1;
        s.voltage_decimals = 1;
        s.power_scale = 0.001;
        s.power_decimals = 3;
    }
}

void read_resolution(ModbusTcpClient& client, MeterModel model, DataScales& s) {
    uint16_t ratio = 0;
    if (!read_optional(client, [&] { ratio = read_one(client, setup_registers(model).pt_ratio); })) {
        return;
    }
    // Only the EM133 has the high-resolution option; the EM235 always has it on.
    if (model == MeterModel::EM133) {
        uint16_t high_resolution = 0;
        const bool answered = read_optional(
            client, [&] { high_resolution = read_one(client, EM133_HIGH_RESOLUTION); });
        if (!answered || high_resolution != 1) return;
    }
    apply_high_resolution(s, ratio);
}

void read_energy_decimals(ModbusTcpClient& client, MeterModel model, DataScales& s) {
    const SetupRegisters regs = setup_registers(model);
    int d = 0;
    if (!read_optional(client, [&] { d = read_one(client, regs.energy_decimals); })) return;
    if (d < 1 || d > regs.energy_decimals_max) return;
    s.energy_decimals = d;
    for (int i = 0; i < d; ++i) s.energy_scale *= 0.1;
}

const char* summary_unit(uint16_t code) {
    static const char* const UNITS[] = {"", "kWh", "kvarh", "kVAh", "m3", "CF", "CCF", "kL", "MJ"};
    return code < sizeof UNITS / sizeof UNITS[0] ? UNITS[code] : "";
}

// The list stops at the first register the meter does not answer for.
void read_summary_units(ModbusTcpClient& client, MeterModel model, DataScales& s) {
    const int count = setup_registers(model).summary_count;
    for (int i = 0; i < count; ++i) {
        const auto address = static_cast<uint16_t>(SUMMARY_SETUP + SUMMARY_SETUP_STRIDE * i);
        std::vector<uint16_t> setup;
        if (!read_optional(client, [&] { setup = read_words(client, address, SUMMARY_SETUP_STRIDE); })) {
            return;
        }
        s.summary_units.emplace_back(summary_unit(setup[1]));
    }
}

}  // namespace

uint16_t pt_ratio_register(MeterModel model) { return setup_registers(model).pt_ratio; }

DataScales read_data_scales(ModbusTcpClient& client, MeterModel model) {
    DataScales s;
    read_resolution(client, model, s);
    read_energy_decimals(client, model, s);
    read_summary_units(client, model, s);
    return s;
}

}  // namespace tandrel
