// One TCP connection to a meter address that one session, or several that
// share it, use in turn. A call holds the connection for its whole duration
// (ConnectionTurn); between calls it stays open. A failure that leaves the
// byte stream unusable drops it, and the next call connects again: every
// connect raises the generation, by which a session sees that the setup it
// cached was read on an earlier connection.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "core/options.h"
#include "modbus/modbus_tcp_client.h"

namespace tandrel {

class SessionConnection {
public:
    explicit SessionConnection(std::string host) : host_(std::move(host)) {}
    SessionConnection(const SessionConnection&) = delete;
    SessionConnection& operator=(const SessionConnection&) = delete;

    const std::string& host() const { return host_; }

    // With the turn held: the connected client. When there is none, one
    // connect attempt with these options (port and time-out) is made first;
    // its failure is the call's. The unit id is set to options' every time.
    ModbusTcpClient& client(const Options& options);

    // With the turn held: the number of connects so far; 0 before the first.
    uint64_t generation() const { return generation_; }

    // With the turn held: closes the socket when its stream is broken, so
    // that it is never read again.
    void drop_if_broken();

    // From any thread: when `holder` holds the turn, shuts its socket down
    // (now, or as soon as its connect completes) so that its call fails at
    // once instead of waiting for the meter. Another holder is left alone.
    void interrupt(const void* holder);

private:
    friend class ConnectionTurn;

    std::string host_;
    std::mutex turn_;   // held by one call from its start to its end
    std::mutex state_;  // guards holder_, interrupted_ and the socket's existence
    const void* holder_ = nullptr;
    bool interrupted_ = false;
    std::unique_ptr<ModbusTcpClient> client_;
    uint64_t generation_ = 0;
};

// The connection held for one call. The constructor waits for the call of
// another sharer to end: a shared connection serves one call at a time.
class ConnectionTurn {
public:
    ConnectionTurn(SessionConnection& connection, const void* holder);
    ~ConnectionTurn();
    ConnectionTurn(const ConnectionTurn&) = delete;
    ConnectionTurn& operator=(const ConnectionTurn&) = delete;

private:
    SessionConnection& connection_;
    std::unique_lock<std::mutex> turn_;
};

// The connection for a session: a new one of its own for number 0, else the
// one that sessions to the same host text and port opened under `number`
// share while any of them is open.
std::shared_ptr<SessionConnection> session_connection(const std::string& host, uint16_t port,
                                                      uint16_t number);

}  // namespace tandrel
