// The operating system's TCP sockets behind one small interface, so that the
// same code builds on POSIX and Windows. No messages here: callers decide
// what a failure means to the user.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tandrel::platform {

#ifdef _WIN32
using NativeSocket = std::uintptr_t;
#else
using NativeSocket = int;
#endif

// Owns one socket handle; closes it in the destructor. Movable, not copyable.
class Socket {
public:
    Socket() = default;
    explicit Socket(NativeSocket handle) : handle_(handle) {}
    ~Socket() { close(); }
    Socket(Socket&& other) noexcept : handle_(other.release()), timeout_ms_(other.timeout_ms_) {}
    Socket& operator=(Socket&& other) noexcept;
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    bool valid() const { return handle_ != invalid_handle(); }
    NativeSocket native() const { return handle_; }
    NativeSocket release();
    void close();

    // Bounds each wait of send_all and recv_exact (0: no bound). connect_tcp
    // sets it; a wait cut short by a signal goes on only for what is left.
    void set_timeout(int timeout_ms) { timeout_ms_ = timeout_ms; }

    // Sends every byte; false on any failure or send time-out. Never raises SIGPIPE.
    bool send_all(const std::uint8_t* data, std::size_t size);
    // Receives exactly size bytes; false on error, peer close or receive time-out.
    bool recv_exact(std::uint8_t* data, std::size_t size);

    static NativeSocket invalid_handle();

private:
    NativeSocket handle_ = invalid_handle();
    int timeout_ms_ = 0;
};

// One-time start-up of the sockets layer (WSAStartup on Windows); true on success.
bool startup_sockets();

// True and the address in network byte order when host is a dotted IPv4 address.
bool parse_ipv4(const std::string& host, std::uint32_t& addr_net);

// Resolves a host name to its first IPv4 address (network byte order). An
// empty name never resolves, on any platform.
bool resolve_ipv4(const std::string& host, std::uint32_t& addr_net);

// Ends both directions of a connected socket that another thread may be
// waiting on, so that its send or receive returns at once and fails. The
// handle stays open and owned by its Socket: closing it here could hand its
// number to a new socket under the waiting thread.
void shutdown_socket(NativeSocket handle);

enum class ConnectStatus { Connected, NoSocket, Failed, TimedOut };

// Connects to addr:port waiting at most timeout_ms, then sets the receive and
// send time-outs to timeout_ms. On any status but Connected, sock is invalid.
ConnectStatus connect_tcp(Socket& sock, std::uint32_t addr_net, std::uint16_t port,
                          int timeout_ms);

}  // namespace tandrel::platform
