// Options are looked up by plain text search, not parsed as JSON: every other
// content of the text is ignored by design.
#include "core/options.h"

#include <cctype>
#include <cstdlib>
#include <stdexcept>

namespace tandrel {

int32_t strtol_int32(const char* text, char** end, int base) {
    const long v = std::strtol(text, end, base);
    if (v > static_cast<long>(INT32_MAX)) return INT32_MAX;
    if (v < static_cast<long>(INT32_MIN)) return INT32_MIN;
    return static_cast<int32_t>(v);
}

bool json_int_field(const std::string& text, const char* key, int32_t& value) {
    const std::string needle = std::string("\"") + key + "\"";
    const size_t at = text.find(needle);
    if (at == std::string::npos) return false;
    const size_t colon = text.find(':', at + needle.size());
    if (colon == std::string::npos) return false;
    size_t pos = colon + 1;
    while (pos < text.size() && std::isspace(static_cast<unsigned char>(text[pos]))) ++pos;
    const char* start = text.c_str() + pos;
    char* end = nullptr;
    const int32_t v = strtol_int32(start, &end, 10);
    if (end == start) return false;
    value = v;
    return true;
}

bool int_option(const std::string& text, const char* key, int32_t lo, int32_t hi,
                int32_t& value) {
    int32_t v = 0;
    if (!json_int_field(text, key, v)) return false;
    if (v < lo || v > hi) {
        throw std::runtime_error(std::string("options.") + key + " must be " + std::to_string(lo) +
                                 "-" + std::to_string(hi));
    }
    value = v;
    return true;
}

Options parse_options(const char* text) {
    Options o;
    if (text == nullptr || text[0] == '\0') return o;
    const std::string s(text);
    int32_t v = 0;
    if (int_option(s, "port", 1, 65535, v)) o.port = static_cast<uint16_t>(v);
    if (int_option(s, "unit_id", 0, 255, v)) o.unit_id = static_cast<uint8_t>(v);
    if (int_option(s, "timeout_ms", 100, 3600000, v)) o.timeout_ms = v;
    return o;
}

}  // namespace tandrel
