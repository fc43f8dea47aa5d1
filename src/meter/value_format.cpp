// Scaling and printing of raw 32-bit values. Every reading is a whole number
// of steps of a power of ten, so the text is the raw value's digits with a
// decimal point put in: exact, and independent of the host's locale (a host
// may have switched to a decimal comma).
#include "meter/value_format.h"

#include "core/hex_text.h"
#include "meter/model_profile.h"
#include "meter/point_table.h"

namespace tandrel {
namespace {

std::string fallback_header(uint16_t point_id, int column) {
    std::string header = "Param_" + std::to_string(column);
    if (point_id != 0) header += " (" + hex4(point_id) + ")";
    return header;
}

// A summary register takes the unit the meter's setup gives it; its maximum
// demand counts the power of that energy, so "kWh" becomes "kW".
std::string point_unit(const ParamDef& def, const DataScales& scales) {
    std::string unit = def.unit;
    const int n = def.summary_register;
    if (n <= 0 || scales.summary_units.size() < static_cast<size_t>(n)) return unit;
    const std::string& setup = scales.summary_units[static_cast<size_t>(n) - 1];
    if (setup.empty()) return unit;
    unit = setup;
    if (def.kind == Kind::Power && unit.size() >= 2 && unit.back() == 'h') unit.pop_back();
    return unit;
}

int kind_decimals(Kind kind, MeterModel model, const DataScales& s) {
    switch (kind) {
        case Kind::Voltage:
            return s.voltage_decimals;
        case Kind::Current:
            return s.current_decimals;
        case Kind::Power:
            return s.power_decimals;
        case Kind::Energy:
            return s.energy_decimals;
        case Kind::PowerFactor:
        case Kind::FrequencyMilliHz:
            return 3;
        case Kind::Percent:
        case Kind::KFactor:
        case Kind::Angle:
            return 1;
        case Kind::FrequencyCentiHz:
            return 2;
        case Kind::FrequencyTenthMilliHz:
            return 4;
        case Kind::Unbalance:
            return model_profile(model).unbalance_decimals;
    }
    return 0;
}

}  // namespace

ColumnFormat resolve_column(uint16_t point_id, int column, MeterModel model,
                            const DataScales& scales) {
    ColumnFormat cf;
    const auto& table = param_table();
    const auto it = table.find(point_id);
    if (it == table.end()) {
        cf.header = fallback_header(point_id, column);
        cf.name = cf.header;
        return cf;
    }
    const ParamDef& def = it->second;
    cf.name = def.name;
    cf.unit = point_unit(def, scales);
    cf.header = cf.unit.empty() ? cf.name : cf.name + " (" + cf.unit + ")";
    cf.decimals = kind_decimals(def.kind, model, scales);
    return cf;
}

std::string format_value(int32_t raw, const ColumnFormat& format) {
    char buf[24];  // sign, ten digits, a point and at most nine leading zeros
    char* p = buf + sizeof buf;
    const int decimals = format.decimals < 0 ? 0 : (format.decimals > 9 ? 9 : format.decimals);
    uint32_t magnitude = raw < 0 ? 0u - static_cast<uint32_t>(raw) : static_cast<uint32_t>(raw);
    for (int i = 0; i < decimals; ++i) {
        *--p = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    }
    if (decimals > 0) *--p = '.';
    do {
        *--p = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (raw < 0) *--p = '-';
    return std::string(p, buf + sizeof buf);
}

}  // namespace tandrel
