// Scaling and printing of raw 32-bit values. The text must not follow the
// host's locale (a host may have switched to a decimal comma), so numbers are
// written digit by digit or by std::to_chars, both always in the "C" form.
#include "value_format.h"

#include <charconv>
#include <cmath>

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

struct Scaling {
    double scale;
    int decimals;
};

Scaling kind_scaling(Kind kind, MeterModel model, const DataScales& s) {
    switch (kind) {
        case Kind::Voltage:
            return {s.voltage_scale, s.voltage_decimals};
        case Kind::Current:
            return {s.current_scale, s.current_decimals};
        case Kind::Power:
            return {s.power_scale, s.power_decimals};
        case Kind::Energy:
            return {s.energy_scale, s.energy_decimals};
        case Kind::PowerFactor:
        case Kind::Frequency3:
            return {0.001, 3};
        case Kind::Percent:
        case Kind::KFactor:
        case Kind::Angle:
            return {0.1, 1};
        case Kind::Frequency2:
            return {0.01, 2};
        case Kind::Frequency4:
            return {0.0001, 4};
        case Kind::Unbalance:
            // The EM133 reports unbalance in whole percent.
            return model == MeterModel::EM235 ? Scaling{0.1, 1} : Scaling{1.0, 0};
    }
    return {1.0, 0};
}

constexpr int POWERS_OF_TEN = 10;
constexpr double NEGATIVE_POWERS_OF_TEN[POWERS_OF_TEN] = {1.0,  1e-1, 1e-2, 1e-3, 1e-4,
                                                          1e-5, 1e-6, 1e-7, 1e-8, 1e-9};

// Scales built by repeated multiplication (0.1 x 0.1 x 0.1) miss the literal
// power of ten by a few ulps; within this relative distance a 32-bit raw value
// still lands within 0.003 of a step of the last digit from the exact decimal.
constexpr double SCALE_TOLERANCE = 1e-12;

bool is_power_of_ten_scale(double scale, int decimals) {
    if (decimals < 0 || decimals >= POWERS_OF_TEN) return false;
    const double p = NEGATIVE_POWERS_OF_TEN[decimals];
    return std::fabs(scale - p) <= p * SCALE_TOLERANCE;
}

// raw x 10^-decimals printed with `decimals` digits. For a 32-bit raw value the
// double product lies far closer than half a step of the last digit to the
// exact decimal, so rounding it always gives these digits: the same text as the
// general path, without the cost of exact double printing.
std::string shifted_decimal(int32_t raw, int decimals) {
    char buf[24];
    char* p = buf + sizeof buf;
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
    const Scaling scaling = kind_scaling(def.kind, model, scales);
    cf.scale = scaling.scale;
    cf.decimals = scaling.decimals;
    return cf;
}

std::string format_value(int32_t raw, const ColumnFormat& format) {
    if (is_power_of_ten_scale(format.scale, format.decimals)) {
        return shifted_decimal(raw, format.decimals);
    }
    // Room for any int32 times a sane scale at any sane precision; a text that
    // would not fit falls back to the raw integer rather than overrun.
    char buf[64];
    const double value = static_cast<double>(raw) * format.scale;
    const int decimals = format.decimals < 0 ? 0 : format.decimals;
    std::to_chars_result r =
        std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
    if (r.ec != std::errc()) r = std::to_chars(buf, buf + sizeof buf, raw);
    return std::string(buf, r.ptr);
}

}  // namespace tandrel
