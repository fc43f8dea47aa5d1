// The meter's setup values that scale every reading, read once per call.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "api/options.h"

namespace tandrel {

class ModbusTcpClient;

struct DataScales {
    double voltage_scale = 1.0;
    double current_scale = 1.0;
    double power_scale = 1.0;
    double energy_scale = 1.0;
    int voltage_decimals = 0;
    int current_decimals = 0;
    int power_decimals = 0;
    int energy_decimals = 0;
    // Unit text of billing summary register 1, 2, ...; "" when the meter gave none.
    std::vector<std::string> summary_units;
};

// The register holding ten times the voltage transformer ratio.
uint16_t pt_ratio_register(MeterModel model);

// Every read is optional: whatever the meter does not answer keeps its default.
DataScales read_data_scales(ModbusTcpClient& client, MeterModel model);

}  // namespace tandrel
