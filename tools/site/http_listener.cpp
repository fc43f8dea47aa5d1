// The listener over Debian's cpp-httplib; see http_listener.h.
#include "http_listener.h"

#include <httplib.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <stdexcept>
#include <thread>

#include "endpoint.h"

namespace tandrel_site {

struct HttpListener::Impl {
    httplib::Server server;
    std::thread thread;
};

HttpListener::HttpListener(const std::vector<HttpRoute>& routes) : impl_(std::make_unique<Impl>()) {
    for (const HttpRoute& route : routes) {
        // A route's path is a literal, not the regular expression httplib takes.
        std::string pattern;
        for (char c : route.path)
            pattern += std::isalnum(static_cast<unsigned char>(c)) || c == '/' || c == '_'
                           ? std::string(1, c)
                           : std::string("\\") + c;
        impl_->server.Get(pattern, [route](const httplib::Request&, httplib::Response& response) {
            response.set_content(route.body(), route.content_type.c_str());
        });
    }
    // Scrapers keep their connection open between scrapes: a short keep-alive
    // lets a stop end within a second instead of five.
    impl_->server.set_keep_alive_timeout(1);
    impl_->server.set_read_timeout(5, 0);
    impl_->server.set_write_timeout(5, 0);
}

HttpListener::~HttpListener() { stop(); }

int HttpListener::bind(const std::string& host, int port) {
    errno = 0;
    int bound = port == 0 ? impl_->server.bind_to_any_port(host)
                          : (impl_->server.bind_to_port(host, port) ? port : -1);
    if (bound > 0) return bound;
    const int error = errno;
    throw std::runtime_error("cannot listen on " + endpoint_text(host, port) + ": " +
                             (error != 0 ? std::strerror(error) : "not a local address"));
}

void HttpListener::start() {
    impl_->thread = std::thread([this] { impl_->server.listen_after_bind(); });
    // A stop before the server runs would be lost and leave its thread waiting.
    for (int i = 0; i < 1000 && !impl_->server.is_running(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void HttpListener::stop() {
    impl_->server.stop();
    if (impl_->thread.joinable()) impl_->thread.join();
}

}  // namespace tandrel_site
