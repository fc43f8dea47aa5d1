// The meter's setup values that decide the resolution of every reading, read
// once per call.
#pragma once

#include <string>
#include <vector>

#include "core/meter_model.h"

namespace tandrel {

class ModbusTcpClient;

// Readings of each kind are raw values in steps of 10^-decimals.
struct DataScales {
    int voltage_decimals = 0;
    int current_decimals = 0;
    int power_decimals = 0;
    int energy_decimals = 0;
    // Unit text of billing summary register 1, 2, ...; "" when the meter gave none.
    std::vector<std::string> summary_units;
};

// Every read is optional: whatever the meter does not answer keeps its
// default. A broken connection throws.
DataScales read_data_scales(ModbusTcpClient& client, MeterModel model);

}  // namespace tandrel
