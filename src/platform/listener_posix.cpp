// POSIX listening sockets. Waits use poll(), never select(): select() cannot
// watch a descriptor numbered FD_SETSIZE or above.
#ifndef _WIN32

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "platform/listener.h"

namespace tandrel::platform {

WaitResult poll_readable(int fd, int timeout_ms) {
    pollfd p{};
    p.fd = fd;
    p.events = POLLIN;
    const int r = ::poll(&p, 1, timeout_ms);
    if (r < 0) return errno == EINTR ? WaitResult::TimedOut : WaitResult::Failed;
    return r == 0 ? WaitResult::TimedOut : WaitResult::Ready;
}

bool Listener::open(const std::string& address, std::uint16_t port, int backlog) {
    close();
    in_addr a{};
    if (inet_pton(AF_INET, address.c_str(), &a) != 1) return false;
    Socket s(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!s.valid()) return false;
    const int one = 1;
    setsockopt(s.native(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr = a;
    if (::bind(s.native(), reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) return false;
    if (::listen(s.native(), backlog) != 0) return false;
    socklen_t len = sizeof addr;
    if (getsockname(s.native(), reinterpret_cast<sockaddr*>(&addr), &len) != 0) return false;
    port_ = ntohs(addr.sin_port);
    sock_ = std::move(s);
    return true;
}

Socket Listener::accept() {
    Socket s(::accept4(sock_.native(), nullptr, nullptr, SOCK_CLOEXEC));
    if (s.valid()) {
        const int one = 1;
        setsockopt(s.native(), IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    }
    return s;
}

long recv_some(Socket& sock, std::uint8_t* data, std::size_t size) {
    for (;;) {
        const ssize_t n = ::recv(sock.native(), data, size, 0);
        if (n < 0 && errno == EINTR) continue;
        return static_cast<long>(n);
    }
}

void shutdown_both(Socket& sock) {
    if (sock.valid()) ::shutdown(sock.native(), SHUT_RDWR);
}

}  // namespace tandrel::platform

#endif  // !_WIN32
