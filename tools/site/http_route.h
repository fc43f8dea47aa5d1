// A page the service's HTTP listener serves besides /metrics and /healthz.
// The routes are plain data, so that the status page and whatever comes next
// need no knowledge of the HTTP library behind the listener.
#pragma once

#include <functional>
#include <string>

namespace tandrel_site {

struct HttpRoute {
    std::string path;          // "/", "/api/state"
    std::string content_type;  // "text/html; charset=utf-8"
    std::function<std::string()> body;  // called for each GET, from the listener's threads
};

}  // namespace tandrel_site
