// The session's options keys, looked up by text search like every other key.
#include "session/session_options.h"

#include <stdexcept>
#include <string>

#include "core/options.h"

namespace tandrel {

SessionOptions parse_session_options(const char* text) {
    SessionOptions o;
    if (text == nullptr || text[0] == '\0') return o;
    const std::string s(text);
    int32_t v = 0;
    if (json_int_field(s, "setup_max_age_ms", v)) {
        if (v < 0 || v > MAX_SETUP_MAX_AGE_MS) {
            throw std::runtime_error("options.setup_max_age_ms must be 0-86400000");
        }
        o.setup_max_age_ms = v;
    }
    if (json_int_field(s, "connection", v)) {
        if (v < 0 || v > 65535) throw std::runtime_error("options.connection must be 0-65535");
        o.connection = static_cast<uint16_t>(v);
    }
    return o;
}

}  // namespace tandrel
