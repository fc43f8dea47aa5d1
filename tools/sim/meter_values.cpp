// The simulated load and its raw values; see meter_values.h.
#include "meter_values.h"

#include <cmath>

namespace tandrel_sim {

namespace {

constexpr double PI = 3.14159265358979323846;
// Energies count from this instant (2025-10-09) so that they stay well inside 32 bits.
constexpr double ENERGY_EPOCH = 1760000000.0;

double wave(double t, double period_s, double phase) {
    return std::sin(2.0 * PI * t / period_s + phase);
}

struct Phase {
    double v, i, pf;
    double kw() const { return v * i * pf / 1000.0; }
    double kva() const { return v * i / 1000.0; }
    double kvar() const { return kva() * std::sqrt(1.0 - pf * pf); }
};

Phase phase_at(int k, double t) {
    Phase p{};
    p.v = 230.0 + 1.5 * wave(t, 90.0, k);
    p.i = 42.0 + 10.0 * wave(t, 600.0, 2.1 * k) + 3.0 * wave(t, 47.0, k);
    p.pf = 0.93 + 0.03 * wave(t, 400.0, 1.3 * k);
    return p;
}

double sum3(double t, double (Phase::*f)() const) {
    double s = 0;
    for (int k = 0; k < 3; ++k) s += (phase_at(k, t).*f)();
    return s;
}

double frequency(double t) { return 50.0 + 0.03 * wave(t, 60.0, 0.0); }

double kwh_import(double t) { return 12345.6 + 31.0 * (t - ENERGY_EPOCH) / 3600.0; }
double kvarh_import(double t) { return 4321.0 + 11.5 * (t - ENERGY_EPOCH) / 3600.0; }
double kvah(double t) { return 14000.0 + 33.4 * (t - ENERGY_EPOCH) / 3600.0; }
double kwh_export(double t) { return 12.5 + 0.02 * (t - ENERGY_EPOCH) / 3600.0; }

double phase_value(int off, double t) {
    const int k = off % 3;
    const Phase p = phase_at(k, t);
    switch (off / 3) {
    case 0: return p.v;
    case 1: return p.i;
    case 2: return p.kw();
    case 3: return p.kvar();
    case 4: return p.kva();
    case 5: return p.pf;
    case 6: return 2.1 + 0.3 * wave(t, 200.0, k);
    case 7: return 8.0 + 1.5 * wave(t, 250.0, k);
    case 8: return 1.3;
    case 9: return 6.0 + 1.0 * wave(t, 250.0, k);
    case 10: return p.v * std::sqrt(3.0);
    default: return 0.0;
    }
}

double total_value(int off, double t) {
    const double kw = sum3(t, &Phase::kw);
    const double kva = sum3(t, &Phase::kva);
    const double kvar = sum3(t, &Phase::kvar);
    switch (off) {
    case 0: case 6: return kw;
    case 1: case 8: return kvar;
    case 2: return kva;
    case 3: case 4: return kw / kva;
    case 5: return 1.0;
    case 10: return (phase_at(0, t).v + phase_at(1, t).v + phase_at(2, t).v) / 3.0;
    case 11: return std::sqrt(3.0) * total_value(10, t);
    case 12: return (phase_at(0, t).i + phase_at(1, t).i + phase_at(2, t).i) / 3.0;
    default: return 0.0;  // export powers: the installation only imports
    }
}

double aux_value(int off, double t) {
    switch (off) {
    case 0: return 0.5;
    case 1: return 3.2 + 0.4 * wave(t, 130.0, 0.0);
    case 2: case 8: case 11: case 12: return frequency(t);
    case 3: return 0.4;
    case 4: return 5.0 + 1.0 * wave(t, 300.0, 0.5);
    case 10: return 0.02;
    default: return 0.0;
    }
}

double phasor_value(int off, double t) {
    if (off < 3) return phase_at(off, t).v;
    if (off >= 4 && off < 7) return phase_at(off - 4, t).i;
    if (off == 7) return 0.5;
    if (off >= 8 && off < 11) return off == 8 ? 0.0 : (off == 9 ? -120.0 : 120.0);
    if (off >= 12 && off < 15) {
        const Phase p = phase_at(off - 12, t);
        const double base = off == 12 ? 0.0 : (off == 13 ? -120.0 : 120.0);
        return base - std::acos(p.pf) * 180.0 / PI;
    }
    return off == 15 ? 30.0 : 0.0;
}

double demand_value(int off, double t) {
    if (off < 6) return phase_value(off, t) * 0.99;
    if (off == 21) return 0.94;
    if (off == 34) return 3.0;
    if (off >= 22) return 0.0;  // export demands
    const double f = off >= 18 ? 1.02 : 0.97;
    switch ((off - 6) % 3) {
    case 0: return f * total_value(0, t);
    case 1: return f * total_value(1, t);
    default: return f * total_value(2, t);
    }
}

double energy_value(int off, double t) {
    switch (off) {
    case 0: return kwh_import(t);
    case 1: return kwh_export(t);
    case 2: return kwh_import(t) - kwh_export(t);
    case 3: return kwh_import(t) + kwh_export(t);
    case 4: return kvarh_import(t);
    case 5: return 1.0;
    case 6: return kvarh_import(t) - 1.0;
    case 7: return kvarh_import(t) + 1.0;
    case 8: case 11: return kvah(t);
    default: return 0.0;
    }
}

double max_demand_value(int off) {
    if (off < 3) return 236.0 + off;
    if (off < 6) return 61.0 + 2.0 * (off - 3);
    switch (off) {
    case 9: return 45.8;
    case 10: return 17.2;
    case 11: return 48.9;
    case 21: return 6.1;
    default: return 0.0;
    }
}

}  // namespace

Resolution resolution_from_setup(Model model, std::uint16_t ratio_x10, bool high_resolution,
                                 std::uint16_t energy_decimals) {
    Resolution r;
    const bool fine = model == Model::EM235 || high_resolution;
    if (fine) {
        r.current = 0.01;
        if (ratio_x10 * 0.1 <= 1.05) {
            r.voltage = 0.1;
            r.power = 0.001;
        }
    }
    const int max_decimals = model == Model::EM133 ? 4 : 3;
    if (energy_decimals >= 1 && energy_decimals <= max_decimals) {
        r.energy = std::pow(10.0, -static_cast<int>(energy_decimals));
    }
    r.unbalance = model == Model::EM235 ? 0.1 : 1.0;
    return r;
}

double physical_value(std::uint16_t point_id, double t) {
    const int base = point_id & 0xFF80;
    const int off = point_id - base;
    switch (base) {
    case 0x0C00: case 0x1100: return phase_value(off, t);
    case 0x0F00: case 0x1400: return total_value(off, t);
    case 0x1000: case 0x1500: return aux_value(off, t);
    case 0x1080: return phasor_value(off, t);
    case 0x1600: return demand_value(off, t);
    case 0x1700: return energy_value(off, t);
    case 0x1780: return off < 16 ? kwh_import(t) / (off + 1) : 0.0;
    case 0x3700: return max_demand_value(off);
    case 0x4780: return off < 16 ? 45.8 / (off + 1) : 0.0;
    case 0x7000: return off < 16 ? kwh_import(t) / (off + 2) : 0.0;
    case 0x7100: return off < 16 ? 45.8 / (off + 2) : 0.0;
    default: return 0.0;
    }
}

std::int32_t raw_value(std::uint16_t point_id, double physical, const Resolution& res) {
    double step = 1.0;
    switch (scaling_of(point_id)) {
    case Scaling::Voltage: step = res.voltage; break;
    case Scaling::Current: step = res.current; break;
    case Scaling::Power: step = res.power; break;
    case Scaling::Energy: step = res.energy; break;
    case Scaling::PowerFactor: case Scaling::Thousandth: step = 0.001; break;
    case Scaling::Tenth: step = 0.1; break;
    case Scaling::Hundredth: step = 0.01; break;
    case Scaling::TenThousandth: step = 0.0001; break;
    case Scaling::Unbalance: step = res.unbalance; break;
    }
    const double raw = std::round(physical / step);
    if (raw >= 2147483647.0) return 2147483647;
    if (raw <= -2147483648.0) return -2147483647 - 1;
    return static_cast<std::int32_t>(raw);
}

}  // namespace tandrel_sim
