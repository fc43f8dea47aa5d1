// The options keys only tandrel_open reads, beside the connection's own
// (core/options.h): how long a session trusts the setup it read, and which
// shared connection it joins.
#pragma once

#include <cstdint>

namespace tandrel {

constexpr int32_t DEFAULT_SETUP_MAX_AGE_MS = 300000;
constexpr int32_t MAX_SETUP_MAX_AGE_MS = 86400000;

struct SessionOptions {
    // The setup is read again before a call once it is this old; 0: before every call.
    int32_t setup_max_age_ms = DEFAULT_SETUP_MAX_AGE_MS;
    // 0: a connection of the session's own; else the number of a connection
    // that the sessions to the same host and port with that number share.
    uint16_t connection = 0;
};

// Reads "setup_max_age_ms" (0-86400000) and "connection" (0-65535) as
// parse_options reads its keys; null or empty text gives the defaults.
SessionOptions parse_session_options(const char* text);

}  // namespace tandrel
