// Windows Sockets listening sockets. WSAPoll waits on the handle; unlike
// select() it has no FD_SETSIZE limit on what it can watch.
#ifdef _WIN32

#include <winsock2.h>
#include <ws2tcpip.h>

#include "platform/listener.h"

namespace tandrel::platform {

WaitResult poll_readable(NativeSocket handle, int timeout_ms) {
    WSAPOLLFD p{};
    p.fd = static_cast<SOCKET>(handle);
    p.events = POLLRDNORM;
    const int r = ::WSAPoll(&p, 1, timeout_ms);
    if (r < 0) return WaitResult::Failed;
    return r == 0 ? WaitResult::TimedOut : WaitResult::Ready;
}

bool Listener::open(const std::string& address, std::uint16_t port, int backlog) {
    close();
    if (!startup_sockets()) return false;
    in_addr a{};
    if (inet_pton(AF_INET, address.c_str(), &a) != 1) return false;
    Socket s(static_cast<NativeSocket>(::socket(AF_INET, SOCK_STREAM, 0)));
    if (!s.valid()) return false;
    const SOCKET h = static_cast<SOCKET>(s.native());
    // Exclusive use: on Windows SO_REUSEADDR would let a second server steal the port.
    const BOOL on = TRUE;
    setsockopt(h, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&on), sizeof on);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr = a;
    if (::bind(h, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) return false;
    if (::listen(h, backlog) != 0) return false;
    int len = sizeof addr;
    if (getsockname(h, reinterpret_cast<sockaddr*>(&addr), &len) != 0) return false;
    port_ = ntohs(addr.sin_port);
    sock_ = std::move(s);
    return true;
}

Socket Listener::accept() {
    Socket s(static_cast<NativeSocket>(::accept(static_cast<SOCKET>(sock_.native()), nullptr, nullptr)));
    if (s.valid()) {
        const BOOL on = TRUE;
        setsockopt(static_cast<SOCKET>(s.native()), IPPROTO_TCP, TCP_NODELAY,
                   reinterpret_cast<const char*>(&on), sizeof on);
    }
    return s;
}

long recv_some(Socket& sock, std::uint8_t* data, std::size_t size) {
    const int chunk = size > 0x40000000u ? 0x40000000 : static_cast<int>(size);
    return ::recv(static_cast<SOCKET>(sock.native()), reinterpret_cast<char*>(data), chunk, 0);
}

void shutdown_both(Socket& sock) {
    if (sock.valid()) ::shutdown(static_cast<SOCKET>(sock.native()), SD_BOTH);
}

}  // namespace tandrel::platform

#endif  // _WIN32
