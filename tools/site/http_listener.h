// The service's HTTP listener: GET on a fixed set of routes (/metrics,
// /healthz and whatever the outputs add), on threads of its own. Binding is
// a step apart from serving, so that an address in use stops the service
// before anything else has started.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "http_route.h"

namespace tandrel_site {

class HttpListener {
public:
    explicit HttpListener(const std::vector<HttpRoute>& routes);
    ~HttpListener();
    HttpListener(const HttpListener&) = delete;
    HttpListener& operator=(const HttpListener&) = delete;

    // Binds host:port (port 0: a free one) and returns the port. Throws
    // std::runtime_error "cannot listen on HOST:PORT: REASON".
    int bind(const std::string& host, int port);
    void start();
    // Closes the listener and its connections; idempotent.
    void stop();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace tandrel_site
