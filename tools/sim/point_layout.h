// Where the simulated meters keep their measurement points: twelve register
// families of 128 point ids each, two registers per point (signed 32-bit, low
// word first), at addresses that differ between the EM133 and the EM235 in
// three families. Written from the meters' register map, not shared with the
// library's point table.
#pragma once

#include <cstdint>
#include <vector>

#include "simulator.h"

namespace tandrel_sim {

struct Family {
    std::uint16_t pid_base;
    std::uint16_t reg_em133;
    std::uint16_t reg_em235;
    std::uint16_t last_pid;  // highest point id the meters populate in the family
};

const std::vector<Family>& families();

// The family holding point_id, or nullptr.
const Family* family_of(std::uint16_t point_id);

// Register address of point_id on the model, or -1 when it has no family.
int point_register(Model model, std::uint16_t point_id);

// False for points the model lacks: it answers them with exception 2.
bool model_has_point(Model model, std::uint16_t point_id);

// How a point's physical value becomes its raw integer.
enum class Scaling { Voltage, Current, Power, Energy, PowerFactor, Tenth, Hundredth, Thousandth,
                     TenThousandth, Unbalance };

Scaling scaling_of(std::uint16_t point_id);

}  // namespace tandrel_sim
