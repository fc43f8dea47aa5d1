// How Home Assistant is told to treat a reading: its device class (what the
// value is, so that it is shown and converted as such) and its state class
// (how its statistics are kept: energies as running totals, which is what the
// energy dashboard accepts).
#pragma once

#include "meter_state.h"

namespace tandrel_site {

struct SensorClass {
    const char* device_class;  // nullptr: none applies (harmonics, unbalance, kvarh)
    const char* state_class;   // "measurement", "total_increasing" or "total"
};

SensorClass sensor_class(const LiveReading& reading);

}  // namespace tandrel_site
