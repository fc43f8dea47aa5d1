// The work behind the exported point-reading functions: the caller's point
// list or the model's live set, read in one request span per register family,
// as one readings document.
#pragma once

#include <cstdint>
#include <vector>

#include "core/meter_model.h"
#include "meter/data_scales.h"

namespace tandrel {

class ModbusTcpClient;

// On a connected client whose setup is known: reads the selection (every id
// must have a family), writes the readings document into out and returns
// the number of readings. Throws "No values could be read" when none came.
int read_selection(ModbusTcpClient& client, MeterModel model, const DataScales& scales,
                   const std::vector<uint16_t>& selection, char* out, int out_len);

int read_points_impl(const char* host, const char* meter, const char* options, const char* points,
                     char* out, int out_len);

int read_live_ex_impl(const char* host, const char* meter, const char* options, char* out,
                      int out_len);

int read_live_impl(const char* host, const char* meter, char* out, int out_len);

}  // namespace tandrel
