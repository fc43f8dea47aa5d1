// The points a meter model offers, listed without asking any meter.
#pragma once

#include <cstdint>
#include <vector>

#include "core/meter_model.h"

namespace tandrel {

// Ids of the model's readable points, ascending.
std::vector<uint16_t> listed_points(MeterModel model);

// The work behind tandrel_list_points: writes the listing document into out
// and returns the number of points listed. Needs no meter.
int list_points_impl(const char* meter, char* out, int out_len);

}  // namespace tandrel
