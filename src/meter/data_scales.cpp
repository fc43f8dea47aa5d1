// The setup registers that decide the resolution of readings. Each read is
// optional: a meter that lacks a register answers with an exception, and the
// defaults (whole units) stay in force for that step only. A connection that
// breaks ends the call: defaults must never pass for the meter's setup.
#include "meter/data_scales.h"

#include "meter/model_profile.h"
#include "modbus/modbus_tcp_client.h"

namespace tandrel {
namespace {

constexpr uint16_t SUMMARY_SETUP = 0xDD60;
constexpr uint16_t SUMMARY_SETUP_STRIDE = 4;

// The register's value; false when the meter refused it.
bool read_one(ModbusTcpClient& client, uint16_t address, uint16_t& value) {
    return read_optional(client, [&] { value = read_words(client, address, 1)[0]; });
}

// The ratio word is ten times the voltage transformer ratio; up to 1.05 the
// meter is wired directly and keeps the finer voltage and power resolution.
void apply_high_resolution(DataScales& s, uint16_t ratio_word) {
    s.current_decimals = 2;
    if (ratio_word * 0.1 <= 1.05) {
        s.voltage_decimals = 1;
        s.power_decimals = 3;
    }
}

void read_resolution(ModbusTcpClient& client, const SetupRegisters& regs, DataScales& s) {
    uint16_t ratio = 0;
    if (!read_one(client, regs.pt_ratio, ratio)) return;
    if (regs.high_resolution >= 0) {
        uint16_t on = 0;
        if (!read_one(client, static_cast<uint16_t>(regs.high_resolution), on) || on != 1) return;
    }
    apply_high_resolution(s, ratio);
}

void read_energy_decimals(ModbusTcpClient& client, const SetupRegisters& regs, DataScales& s) {
    uint16_t d = 0;
    if (!read_one(client, regs.energy_decimals, d)) return;
    if (d >= 1 && d <= regs.energy_decimals_max) s.energy_decimals = d;
}

const char* summary_unit(uint16_t code) {
    static const char* const UNITS[] = {"", "kWh", "kvarh", "kVAh", "m3", "CF", "CCF", "kL", "MJ"};
    return code < sizeof UNITS / sizeof UNITS[0] ? UNITS[code] : "";
}

// The list stops at the first register the meter does not answer for.
void read_summary_units(ModbusTcpClient& client, const SetupRegisters& regs, DataScales& s) {
    for (int i = 0; i < regs.summary_count; ++i) {
        const auto address = static_cast<uint16_t>(SUMMARY_SETUP + SUMMARY_SETUP_STRIDE * i);
        std::vector<uint16_t> setup;
        const auto read = [&] { setup = read_words(client, address, SUMMARY_SETUP_STRIDE); };
        if (!read_optional(client, read)) return;
        s.summary_units.emplace_back(summary_unit(setup[1]));
    }
}

}  // namespace

DataScales read_data_scales(ModbusTcpClient& client, MeterModel model) {
    const SetupRegisters& regs = model_profile(model).setup;
    DataScales s;
    read_resolution(client, regs, s);
    read_energy_decimals(client, regs, s);
    read_summary_units(client, regs, s);
    return s;
}

}  // namespace tandrel
