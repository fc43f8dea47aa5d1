// The server side of TCP: a listening socket, accept, and waits with a
// time-out, so that a server thread can notice a stop request. Used by the
// meter simulator; the library itself never listens.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/socket.h"

namespace tandrel::platform {

enum class WaitResult { Ready, TimedOut, Failed };

// Owns one listening socket; closes it in the destructor. Movable, not copyable.
class Listener {
public:
    Listener() = default;
    Listener(Listener&&) noexcept = default;
    Listener& operator=(Listener&&) noexcept = default;

    // Binds address:port (dotted IPv4; port 0 picks an ephemeral port) with
    // address reuse and listens. False on any failure; the listener stays closed.
    bool open(const std::string& address, std::uint16_t port, int backlog = 64);
    bool valid() const { return sock_.valid(); }
    // The bound port (the chosen one after port 0); 0 when closed.
    std::uint16_t port() const { return port_; }
    // Waits up to timeout_ms for a pending connection.
    WaitResult wait(int timeout_ms);
    // Accepts one pending connection with TCP_NODELAY set; invalid on failure.
    Socket accept();
    void close();

private:
    Socket sock_;
    std::uint16_t port_ = 0;
};

// Waits up to timeout_ms until sock has data to read or was closed by the peer.
WaitResult wait_readable(const Socket& sock, int timeout_ms);

// The platform's wait behind both waits above.
WaitResult poll_readable(NativeSocket handle, int timeout_ms);

// Receives what is available, at most size bytes: the byte count, 0 when the
// peer closed, -1 on error.
long recv_some(Socket& sock, std::uint8_t* data, std::size_t size);

// Ends both directions so that a blocked peer or thread sees the close at once.
void shutdown_both(Socket& sock);

}  // namespace tandrel::platform
