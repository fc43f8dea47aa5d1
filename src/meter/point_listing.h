// The points a meter model offers, listed without asking any meter.
#pragma once

#include <cstdint>
#include <vector>

#include "api/options.h"

namespace tandrel {

// Ids of the model's readable points, ascending.
std::vector<uint16_t> listed_points(MeterModel model);

// Writes the listing document into out; returns the number of points listed.
int list_points_impl(MeterModel model, char* out, int out_len);

}  // namespace tandrel
