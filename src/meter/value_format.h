// How one point or data-log column is named and how its raw values print.
#pragma once

#include <cstdint>
#include <string>

#include "core/meter_model.h"
#include "meter/data_scales.h"

namespace tandrel {

struct ColumnFormat {
    std::string header;  // name, plus " (unit)" when the unit is not empty
    std::string name;
    std::string unit;
    int decimals = 0;  // the raw value counts steps of 10^-decimals
};

// column (1-based) only names a point id that the point table lacks.
ColumnFormat resolve_column(uint16_t point_id, int column, MeterModel model,
                            const DataScales& scales);

// raw x 10^-decimals with exactly `decimals` digits after a decimal point,
// whatever the host's locale. Looks nothing up.
std::string format_value(int32_t raw, const ColumnFormat& format);

}  // namespace tandrel
