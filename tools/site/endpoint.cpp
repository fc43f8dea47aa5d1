// HOST:PORT texts and the options text of a meter's address.
#include "endpoint.h"

#include <cstdlib>

namespace tandrel_site {
namespace {

int parse_port(const std::string& text, const std::string& whole) {
    char* end = nullptr;
    long port = std::strtol(text.c_str(), &end, 10);
    bool digits_only = !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
    if (!digits_only || *end != '\0' || port < 1 || port > 65535)
        throw InputError("bad port in '" + whole + "' (expected 1-65535)");
    return static_cast<int>(port);
}

Endpoint split_bracketed(const std::string& text) {
    size_t close = text.find(']');
    if (close == std::string::npos) throw InputError("missing ']' in '" + text + "'");
    Endpoint endpoint{text.substr(1, close - 1), 0};
    std::string rest = text.substr(close + 1);
    if (!rest.empty()) {
        if (rest[0] != ':') throw InputError("unexpected text after ']' in '" + text + "'");
        endpoint.port = parse_port(rest.substr(1), text);
    }
    return endpoint;
}

}  // namespace

Endpoint split_host_port(const std::string& text) {
    Endpoint endpoint;
    if (!text.empty() && text[0] == '[') {
        endpoint = split_bracketed(text);
    } else {
        size_t colon = text.find(':');
        bool one_colon = colon != std::string::npos && text.find(':', colon + 1) == std::string::npos;
        endpoint.host = one_colon ? text.substr(0, colon) : text;
        if (one_colon) endpoint.port = parse_port(text.substr(colon + 1), text);
    }
    if (endpoint.host.empty()) throw InputError("no host in '" + text + "'");
    return endpoint;
}

std::string endpoint_text(const std::string& host, int port) {
    if (port <= 0) return host;
    bool ipv6 = host.find(':') != std::string::npos;
    return (ipv6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

std::string options_text(int port, int unit, int timeout_ms) {
    std::string text;
    auto add = [&text](const char* key, int value) {
        text += text.empty() ? "{" : ",";
        text += std::string("\"") + key + "\":" + std::to_string(value);
    };
    if (port > 0) add("port", port);
    if (unit >= 0) add("unit_id", unit);
    if (timeout_ms > 0) add("timeout_ms", timeout_ms);
    return text.empty() ? "{}" : text + "}";
}

}  // namespace tandrel_site
