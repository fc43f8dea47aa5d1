// The em133 full export and the em235 diagnostics take no options text: the
// library always connects to port 502. A HOST:PORT naming another port is
// refused rather than silently ignored.
#pragma once

#include <string>

namespace tandrel_cli {

// The host part of HOST or HOST:502; throws UsageError for any other port.
std::string host_on_port_502(const std::string& text, const char* command);

}  // namespace tandrel_cli
