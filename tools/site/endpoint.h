// Where a meter is: HOST, HOST:PORT or [IPV6]:PORT, as command lines and site
// files name it, and the texts the library's options take for it.
#pragma once

#include <stdexcept>
#include <string>

namespace tandrel_site {

// Text a person wrote that cannot mean anything (a bad HOST:PORT, a malformed
// site-file line). The tool turns it into its usage exit status.
class InputError : public std::runtime_error {
public:
    explicit InputError(const std::string& message) : std::runtime_error(message) {}
};

// A meter as the library's calls take it.
struct MeterTarget {
    std::string host;
    std::string meter;    // "" until the meter's identity names it
    std::string options;
    std::string address;  // HOST or HOST:PORT, as a command line or site file names the meter
    bool check_model = true;  // the identity is still to be read (model_choice.h)
};

struct Endpoint {
    std::string host;
    int port = 0;  // 0: none in the text
};

// "meter7", "192.0.2.10:1502", "[::1]:1502"; a bare IPv6 address has no port.
// Throws InputError for an empty host or a port that is not 1-65535.
Endpoint split_host_port(const std::string& text);

// "192.0.2.10:1502", "[::1]:1502"; the bare host when `port` is 0.
std::string endpoint_text(const std::string& host, int port);

// {"port":1502,"unit_id":3,"timeout_ms":5000}, members only for what was given
// (port > 0, unit >= 0, timeout_ms > 0).
std::string options_text(int port, int unit, int timeout_ms);

}  // namespace tandrel_site
