// Options are looked up by plain text search, not parsed as JSON: every other
// content of the text is ignored by design.
#include "options.h"

#include <cctype>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace tandrel {

long strtol32(const char* text, char** end, int base) {
    // long is 32 bits on Windows and 64 on Linux: clamp so both saturate alike.
    const long v = std::strtol(text, end, base);
    if (v > static_cast<long>(INT32_MAX)) return INT32_MAX;
    if (v < static_cast<long>(INT32_MIN)) return INT32_MIN;
    return v;
}

MeterModel parse_meter(const std::string& text) {
    std::string lower = text;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (lower == "em133") return MeterModel::EM133;
    if (lower == "em235" || lower == "pm335") return MeterModel::EM235;
    throw std::runtime_error("Unknown meter model '" + text + "' (expected em133 or em235)");
}

const char* model_text(MeterModel model) {
    switch (model) {
        case MeterModel::EM133:
            return "em133";
        case MeterModel::EM235:
            return "em235";
    }
    return "em235";
}

bool json_int_field(const std::string& text, const char* key, long& value) {
    const std::string needle = std::string("\"") + key + "\"";
    const size_t at = text.find(needle);
    if (at == std::string::npos) return false;
    const size_t colon = text.find(':', at + needle.size());
    if (colon == std::string::npos) return false;
    size_t pos = colon + 1;
    while (pos < text.size() && std::isspace(static_cast<unsigned char>(text[pos]))) ++pos;
    const char* start = text.c_str() + pos;
    char* end = nullptr;
    const long v = strtol32(start, &end, 10);
    if (end == start) return false;
    value = v;
    return true;
}

Options parse_options(const char* text) {
    Options o;
    if (text == nullptr || text[0] == '\0') return o;
    const std::string s(text);
    long v = 0;
    if (json_int_field(s, "port", v)) {
        if (v < 1 || v > 65535) throw std::runtime_error("options.port must be 1-65535");
        o.port = static_cast<uint16_t>(v);
    }
    if (json_int_field(s, "unit_id", v)) {
        if (static_cast<uint32_t>(v) > 255u) throw std::runtime_error("options.unit_id must be 0-255");
        o.unit_id = static_cast<uint8_t>(v);
    }
    if (json_int_field(s, "timeout_ms", v)) {
        if (v < 100 || v > 3600000) throw std::runtime_error("options.timeout_ms must be 100-3600000");
        o.timeout_ms = static_cast<int32_t>(v);
    }
    return o;
}

}  // namespace tandrel
