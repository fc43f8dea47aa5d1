// Host check for the commands whose library call has a fixed port.
#include "fixed_port.h"

#include "target.h"
#include "usage_error.h"

namespace tandrel_cli {

std::string host_on_port_502(const std::string& text, const char* command) {
    Endpoint endpoint = split_host_port(text);
    if (endpoint.port != 0 && endpoint.port != 502)
        throw UsageError(std::string(command) + " always connects to port 502, not " +
                         std::to_string(endpoint.port));
    return endpoint.host;
}

}  // namespace tandrel_cli
