// The session's options keys, looked up by text search like every other key.
#include "session/session_options.h"

#include <string>

#include "core/options.h"

namespace tandrel {

SessionOptions parse_session_options(const char* text) {
    SessionOptions o;
    if (text == nullptr || text[0] == '\0') return o;
    const std::string s(text);
    int32_t v = 0;
    if (int_option(s, "setup_max_age_ms", 0, MAX_SETUP_MAX_AGE_MS, v)) o.setup_max_age_ms = v;
    if (int_option(s, "connection", 0, 65535, v)) o.connection = static_cast<uint16_t>(v);
    return o;
}

}  // namespace tandrel
