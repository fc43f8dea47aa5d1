// POSIX sockets. The connect wait uses poll(), never select(): select() cannot
// watch a descriptor numbered FD_SETSIZE or above, which a busy host reaches.
#ifndef _WIN32

#include <fcntl.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

#include "platform/socket.h"
#include "platform/system_sockets.h"

namespace tandrel::platform {

NativeSocket Socket::invalid_handle() { return -1; }

void Socket::close() {
    if (valid()) ::close(handle_);
    handle_ = invalid_handle();
}

namespace {

using Clock = std::chrono::steady_clock;

// What is left of a wait of timeout_ms that began at start, for poll(): 0
// when it has run out, -1 (no bound) when timeout_ms is 0.
int remaining_ms(Clock::time_point start, int timeout_ms) {
    if (timeout_ms <= 0) return -1;
    const auto spent =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    return spent >= timeout_ms ? 0 : static_cast<int>(timeout_ms - spent);
}

// A blocking send or receive with a socket time-out fails with EINTR when a
// signal arrives, whatever SA_RESTART says. Retrying it would start the whole
// time-out again, so a steady stream of signals could hold a call forever:
// wait instead for what is left of the time-out, then retry.
bool wait_rest(int fd, short events, Clock::time_point start, int timeout_ms) {
    for (;;) {
        const int left = remaining_ms(start, timeout_ms);
        if (left == 0) return false;
        pollfd p{};
        p.fd = fd;
        p.events = events;
        const int r = ::poll(&p, 1, left);
        if (r > 0) return true;
        if (r == 0 || errno != EINTR) return false;
    }
}

// Moves size bytes with io(done), one send() or recv() of what is left;
// each wait for the socket is bounded by timeout_ms on its own.
template <typename Io>
bool move_all(int fd, short events, int timeout_ms, std::size_t size, Io io) {
    Clock::time_point start = Clock::now();
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = io(done);
        if (n < 0 && errno == EINTR) {
            if (!wait_rest(fd, events, start, timeout_ms)) return false;
            continue;
        }
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
        start = Clock::now();
    }
    return true;
}

}  // namespace

bool Socket::send_all(const std::uint8_t* data, std::size_t size) {
    return move_all(handle_, POLLOUT, timeout_ms_, size, [&](std::size_t done) {
        return ::send(handle_, data + done, size - done, MSG_NOSIGNAL);
    });
}

bool Socket::recv_exact(std::uint8_t* data, std::size_t size) {
    return move_all(handle_, POLLIN, timeout_ms_, size, [&](std::size_t done) {
        return ::recv(handle_, data + done, size - done, 0);
    });
}

bool startup_sockets() { return true; }

void shutdown_socket(NativeSocket handle) { ::shutdown(handle, SHUT_RDWR); }

namespace {

void set_nonblocking(int fd, bool on) {
    const int flags = fcntl(fd, F_GETFL, 0);
    if (flags < 0) return;
    fcntl(fd, F_SETFL, on ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK));
}

// Waits for the pending connect; after a signal, only for what is left.
ConnectStatus wait_connected(int fd, int timeout_ms) {
    pollfd p{};
    p.fd = fd;
    p.events = POLLOUT;
    const Clock::time_point start = Clock::now();
    int r = 0;
    for (;;) {
        r = ::poll(&p, 1, remaining_ms(start, timeout_ms));
        if (r < 0 && errno == EINTR) continue;
        break;
    }
    if (r == 0) return ConnectStatus::TimedOut;
    if (r < 0) return ConnectStatus::Failed;
    int so_error = 0;
    socklen_t len = sizeof so_error;
    if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &so_error, &len) != 0 || so_error != 0) {
        return ConnectStatus::Failed;
    }
    return ConnectStatus::Connected;
}

void set_timeouts(int fd, int timeout_ms) {
    timeval tv{};
    tv.tv_sec = timeout_ms / 1000;
    tv.tv_usec = (timeout_ms % 1000) * 1000;
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
    const int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

}  // namespace

ConnectStatus connect_tcp(Socket& sock, std::uint32_t addr_net, std::uint16_t port,
                          int timeout_ms) {
    sock.close();
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return ConnectStatus::NoSocket;
    Socket guard(fd);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = addr_net;
    set_nonblocking(fd, true);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
        if (errno != EINPROGRESS) return ConnectStatus::Failed;
        const ConnectStatus st = wait_connected(fd, timeout_ms);
        if (st != ConnectStatus::Connected) return st;
    }
    set_nonblocking(fd, false);
    set_timeouts(fd, timeout_ms);
    guard.set_timeout(timeout_ms);
    sock = std::move(guard);
    return ConnectStatus::Connected;
}

}  // namespace tandrel::platform

#endif  // !_WIN32
