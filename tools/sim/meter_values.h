// The simulated load: a three-phase 230/400 V, 50 Hz installation with slowly
// varying currents and power factors, and energies that grow with time. Gives
// every point's physical value at a time and turns it into the raw integer the
// meter's setup calls for.
#pragma once

#include <cstdint>

#include "point_layout.h"
#include "simulator.h"

namespace tandrel_sim {

// Resolution of the raw values, as the meter's setup registers decide it.
struct Resolution {
    double voltage = 1.0;
    double current = 1.0;
    double power = 1.0;
    double energy = 1.0;
    double unbalance = 1.0;
};

Resolution resolution_from_setup(Model model, std::uint16_t ratio_x10, bool high_resolution,
                                 std::uint16_t energy_decimals);

// Physical value of a point (V, A, kW, kvar, kVA, kWh, ratio, %, Hz, degrees)
// at time t in seconds since 1970.
double physical_value(std::uint16_t point_id, double t);

// Raw signed 32-bit value, rounded and clamped to the 32-bit range.
std::int32_t raw_value(std::uint16_t point_id, double physical, const Resolution& res);

}  // namespace tandrel_sim
