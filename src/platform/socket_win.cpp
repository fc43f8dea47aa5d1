// Windows Sockets 2. A refused non-blocking connect shows only in select()'s
// error set, so the wait watches the write and the error set together.
#ifdef _WIN32

#include "platform/socket.h"
#include "platform/system_sockets.h"

namespace tandrel::platform {

NativeSocket Socket::invalid_handle() { return static_cast<NativeSocket>(INVALID_SOCKET); }

void Socket::close() {
    if (valid()) ::closesocket(static_cast<SOCKET>(handle_));
    handle_ = invalid_handle();
}

bool Socket::send_all(const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        const int chunk = size > 0x40000000u ? 0x40000000 : static_cast<int>(size);
        const int n = ::send(static_cast<SOCKET>(handle_), reinterpret_cast<const char*>(data),
                             chunk, 0);
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool Socket::recv_exact(std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        const int chunk = size > 0x40000000u ? 0x40000000 : static_cast<int>(size);
        const int n = ::recv(static_cast<SOCKET>(handle_), reinterpret_cast<char*>(data), chunk, 0);
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool startup_sockets() {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

// A receive already waiting may not notice a shutdown on every Windows
// version: its pending I/O is cancelled as well, so that it fails at once.
void shutdown_socket(NativeSocket handle) {
    ::shutdown(static_cast<SOCKET>(handle), SD_BOTH);
    ::CancelIoEx(reinterpret_cast<HANDLE>(handle), nullptr);
}

namespace {

ConnectStatus wait_connected(SOCKET s, int timeout_ms) {
    fd_set writable;
    fd_set failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(s, &writable);
    FD_SET(s, &failed);
    timeval tv{};
    tv.tv_sec = timeout_ms / 1000;
    tv.tv_usec = (timeout_ms % 1000) * 1000;
    const int r = ::select(0, nullptr, &writable, &failed, &tv);
    if (r == 0) return ConnectStatus::TimedOut;
    if (r < 0 || FD_ISSET(s, &failed)) return ConnectStatus::Failed;
    int so_error = 0;
    int len = sizeof so_error;
    if (getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&so_error), &len) != 0 ||
        so_error != 0) {
        return ConnectStatus::Failed;
    }
    return ConnectStatus::Connected;
}

void set_timeouts(SOCKET s, int timeout_ms) {
    const DWORD ms = static_cast<DWORD>(timeout_ms);
    setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&ms), sizeof ms);
    setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&ms), sizeof ms);
    const BOOL one = TRUE;
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
}

}  // namespace

ConnectStatus connect_tcp(Socket& sock, std::uint32_t addr_net, std::uint16_t port,
                          int timeout_ms) {
    sock.close();
    const SOCKET s = ::socket(AF_INET, SOCK_STREAM, 0);
    if (s == INVALID_SOCKET) return ConnectStatus::NoSocket;
    Socket guard(static_cast<NativeSocket>(s));
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = addr_net;
    u_long mode = 1;
    ioctlsocket(s, FIONBIO, &mode);
    if (::connect(s, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
        if (WSAGetLastError() != WSAEWOULDBLOCK) return ConnectStatus::Failed;
        const ConnectStatus st = wait_connected(s, timeout_ms);
        if (st != ConnectStatus::Connected) return st;
    }
    mode = 0;
    ioctlsocket(s, FIONBIO, &mode);
    set_timeouts(s, timeout_ms);
    guard.set_timeout(timeout_ms);
    sock = std::move(guard);
    return ConnectStatus::Connected;
}

}  // namespace tandrel::platform

#endif  // _WIN32
