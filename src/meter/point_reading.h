// Reads selected points in one request span per register family and writes
// the readings document.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "api/options.h"

namespace tandrel {

class ModbusTcpClient;

// client is not yet connected. Every id of selection must have a family.
// Returns the number of readings written to out.
int read_points_impl(ModbusTcpClient& client, MeterModel model,
                     const std::vector<uint16_t>& selection, char* out, int out_len);

// "2026-03-01T08:05:09.042Z" for nanoseconds since 1970 (UTC).
std::string reading_timestamp(int64_t unix_ns);

}  // namespace tandrel
