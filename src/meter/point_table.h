// The measurement points both register maps know, and the register families
// that decide which points can be read and where their registers lie.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

#include "core/meter_model.h"

namespace tandrel {

// Selects the scaling of a point (see resolve_column).
enum class Kind : int32_t {
    Voltage = 0,
    Current = 1,
    Power = 2,
    Energy = 3,
    PowerFactor = 4,
    Percent = 5,
    KFactor = 6,
    Angle = 7,
    FrequencyCentiHz = 8,        // raw value in 0.01 Hz
    FrequencyMilliHz = 9,        // in 0.001 Hz
    FrequencyTenthMilliHz = 10,  // in 0.0001 Hz
    Unbalance = 11,
};

struct ParamDef {
    std::string name;
    std::string unit;
    Kind kind = Kind::Voltage;
    // 1-16 for the billing summary registers, whose unit the meter's setup gives.
    int32_t summary_register = 0;
};

// Points pid_base .. pid_base + 127 occupy two registers each, low-order
// word first, from the address the model's profile gives the family.
struct FamilyBlock {
    uint16_t pid_base;
    const char* name;
};

constexpr size_t FAMILY_COUNT = 12;

// Table order is the order in which point reading visits the families, and
// the order of every profile's family addresses.
inline constexpr std::array<FamilyBlock, FAMILY_COUNT> FAMILY_BLOCKS{{
    {0x0C00, "1-cycle phase values"},
    {0x0F00, "1-cycle total values"},
    {0x1000, "1-cycle auxiliary values"},
    {0x1080, "fundamental phasor values"},
    {0x1100, "1-second phase values"},
    {0x1400, "1-second total values"},
    {0x1500, "1-second auxiliary values"},
    {0x1600, "present demands"},
    {0x1700, "total energies"},
    {0x1780, "billing summary energy registers"},
    {0x3700, "maximum demands"},
    {0x4780, "billing summary maximum demands"},
}};

// Ascending point id; built on first use, read-only afterwards.
const std::map<uint16_t, ParamDef>& param_table();

// The family whose 128-id range holds point_id, or null (tariff points and
// ids outside the twelve ranges).
const FamilyBlock* find_family(uint16_t point_id);

// Register address of point_id on the model; family must be an entry of
// FAMILY_BLOCKS whose range holds point_id.
uint16_t point_register(const FamilyBlock& family, uint16_t point_id, MeterModel model);

}  // namespace tandrel
