// Register families and point scalings of the simulated meters.
#include "point_layout.h"

namespace tandrel_sim {

const std::vector<Family>& families() {
    static const std::vector<Family> FAMILIES = {
        {0x0C00, 0x3400, 0x3400, 3104},  {0x0F00, 0x3580, 0x3580, 3852},
        {0x1000, 0x3600, 0x3600, 4108},  {0x1080, 0x3628, 0x3640, 4239},
        {0x1100, 0x3680, 0x3680, 4384},  {0x1400, 0x3800, 0x3800, 5132},
        {0x1500, 0x3880, 0x3880, 5390},  {0x1600, 0x3900, 0x3900, 5666},
        {0x1700, 0x3980, 0x3980, 5900},  {0x1780, 0x39A8, 0x39C0, 6031},
        {0x3700, 0x4980, 0x4980, 14101}, {0x4780, 0x51A8, 0x51C0, 18319},
    };
    return FAMILIES;
}

const Family* family_of(std::uint16_t point_id) {
    const std::uint16_t base = point_id & 0xFF80;
    for (const Family& f : families()) {
        if (f.pid_base == base) return &f;
    }
    return nullptr;
}

int point_register(Model model, std::uint16_t point_id) {
    const Family* f = family_of(point_id);
    if (f == nullptr) return -1;
    const int base = model == Model::EM133 ? f->reg_em133 : f->reg_em235;
    return (base + 2 * (point_id - f->pid_base)) & 0xFFFF;
}

bool model_has_point(Model model, std::uint16_t point_id) {
    if (model == Model::EM235) return true;
    switch (point_id) {
    case 5376: case 5390: case 5890: case 5891: case 5894: case 5895: return false;
    default: return true;
    }
}

namespace {

Scaling phase_scaling(int off) {
    if (off < 3 || off >= 30) return Scaling::Voltage;
    if (off < 6) return Scaling::Current;
    if (off < 15) return Scaling::Power;
    if (off < 18) return Scaling::PowerFactor;
    return Scaling::Tenth;  // THD, K-factor, TDD
}

Scaling total_scaling(int off) {
    if (off >= 3 && off <= 5) return Scaling::PowerFactor;
    if (off == 10 || off == 11) return Scaling::Voltage;
    if (off == 12) return Scaling::Current;
    return Scaling::Power;
}

Scaling aux_scaling(int off) {
    switch (off) {
    case 2: return Scaling::Hundredth;
    case 3: case 4: return Scaling::Unbalance;
    case 8: case 11: return Scaling::Thousandth;
    case 12: return Scaling::TenThousandth;
    default: return Scaling::Current;
    }
}

Scaling phasor_scaling(int off) {
    if (off < 3) return Scaling::Voltage;
    if (off < 8) return Scaling::Current;
    return Scaling::Tenth;
}

Scaling demand_scaling(int off) {
    if (off < 3) return Scaling::Voltage;
    if (off < 6 || off == 34) return Scaling::Current;
    if (off == 21) return Scaling::PowerFactor;
    return Scaling::Power;
}

Scaling max_demand_scaling(int off) {
    if (off < 3) return Scaling::Voltage;
    if (off < 6 || off == 21) return Scaling::Current;
    return Scaling::Power;
}

}  // namespace

Scaling scaling_of(std::uint16_t point_id) {
    const int base = point_id & 0xFF80;
    const int off = point_id - base;
    switch (base) {
    case 0x0C00: case 0x1100: return phase_scaling(off);
    case 0x0F00: case 0x1400: return total_scaling(off);
    case 0x1000: case 0x1500: return aux_scaling(off);
    case 0x1080: return phasor_scaling(off);
    case 0x1600: return demand_scaling(off);
    case 0x3700: return max_demand_scaling(off);
    case 0x1700: case 0x1780: return Scaling::Energy;
    case 0x4780: return Scaling::Power;
    default: break;
    }
    // Tariff points, reachable only as log columns.
    if (point_id >= 0x7000 && point_id < 0x7010) return Scaling::Energy;
    return Scaling::Power;
}

}  // namespace tandrel_sim
