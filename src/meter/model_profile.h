// What a meter model has of its own, in one constant profile per model: its
// setup registers, where its register families lie, which points of the
// table it lacks, and the resolution of readings that differs. Adding a
// model means adding a profile (model_profile.cpp) and its name (the enum
// in core/meter_model.h, the name table in core/meter_model.cpp).
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "core/meter_model.h"
#include "meter/point_table.h"

namespace tandrel {

// The setup registers that scale readings (zero-based addresses).
struct SetupRegisters {
    uint16_t pt_ratio;         // ten times the voltage transformer ratio
    int high_resolution;       // 1 there switches high resolution on; -1: always on
    uint16_t energy_decimals;  // accepted from 1 to energy_decimals_max
    int energy_decimals_max;
    int summary_count;         // billing summary registers, 4 words each from 0xDD60
};

struct ModelProfile {
    SetupRegisters setup;
    // The register address of each family's first point, in FAMILY_BLOCKS order.
    std::array<uint16_t, FAMILY_COUNT> family_registers;
    // Points of the table, in a readable family, that this model does not carry.
    std::vector<uint16_t> lacking_points;
    // Voltage and current unbalance are reported in steps of 10^-decimals percent.
    int unbalance_decimals;
};

const ModelProfile& model_profile(MeterModel model);

// Whether the model carries point_id (it must lie in a register family).
bool model_has_point(MeterModel model, uint16_t point_id);

}  // namespace tandrel
