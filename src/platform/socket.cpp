// What the socket layer does alike on every platform: ownership of the
// handle, and the IPv4 address of a host.
#include "platform/socket.h"

#include "platform/system_sockets.h"

namespace tandrel::platform {

Socket& Socket::operator=(Socket&& other) noexcept {
    if (this != &other) {
        close();
        handle_ = other.release();
        timeout_ms_ = other.timeout_ms_;
    }
    return *this;
}

NativeSocket Socket::release() {
    const NativeSocket h = handle_;
    handle_ = invalid_handle();
    return h;
}

bool parse_ipv4(const std::string& host, std::uint32_t& addr_net) {
    in_addr a{};
    if (inet_pton(AF_INET, host.c_str(), &a) != 1) return false;
    addr_net = a.s_addr;
    return true;
}

bool resolve_ipv4(const std::string& host, std::uint32_t& addr_net) {
    // getaddrinfo("") resolves to the local host on Windows; keep it an error everywhere.
    if (host.empty()) return false;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* result = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &result) != 0 || result == nullptr) {
        return false;
    }
    addr_net = reinterpret_cast<const sockaddr_in*>(result->ai_addr)->sin_addr.s_addr;
    freeaddrinfo(result);
    return true;
}

}  // namespace tandrel::platform
