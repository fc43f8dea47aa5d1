// Connection options and meter model names, as every call receives them.
#pragma once

#include <cstdint>
#include <string>

namespace tandrel {

enum class MeterModel : int32_t { EM133 = 0, EM235 = 1 };

struct Options {
    uint16_t port = 502;
    uint8_t unit_id = 1;
    int32_t timeout_ms = 30000;
};

// "em133" -> EM133; "em235" and "pm335" -> EM235, case-insensitive; else throws.
MeterModel parse_meter(const std::string& text);

// The name every output gives the model: "em133" or "em235".
const char* model_text(MeterModel model);

// Finds "key" textually and converts the integer after the next ':' the way a
// 32-bit strtol would (saturating). False, and value untouched, when absent.
bool json_int_field(const std::string& text, const char* key, long& value);

// Reads "port", "unit_id" and "timeout_ms"; null or empty text gives defaults.
Options parse_options(const char* text);

// strtol in the given base, saturated to the 32-bit range on every platform.
long strtol32(const char* text, char** end, int base);

}  // namespace tandrel
