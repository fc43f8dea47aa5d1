// Connection options, as every call that talks to a meter receives them.
#pragma once

#include <cstdint>
#include <string>

namespace tandrel {

struct Options {
    uint16_t port = 502;
    uint8_t unit_id = 1;
    int32_t timeout_ms = 30000;
};

// Reads "port", "unit_id" and "timeout_ms"; null or empty text gives defaults.
Options parse_options(const char* text);

// Finds "key" textually and converts the integer after the next ':' as
// strtol_int32 does. False, and value untouched, when absent.
bool json_int_field(const std::string& text, const char* key, int32_t& value);

// json_int_field for a key whose value must lie in [lo, hi]: false when the
// key is absent; throws "options.<key> must be <lo>-<hi>" when out of range.
bool int_option(const std::string& text, const char* key, int32_t lo, int32_t hi,
                int32_t& value);

// strtol in the given base, saturated to the 32-bit range, so that Windows
// (32-bit long) and Linux (64-bit long) read every text alike.
int32_t strtol_int32(const char* text, char** end, int base);

}  // namespace tandrel
