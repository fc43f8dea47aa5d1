// One Modbus TCP connection and its MBAP framing. Strictly one request in
// flight: responses are matched to requests by order alone.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/options.h"
#include "platform/socket.h"

namespace tandrel {

class ModbusTcpClient {
public:
    ModbusTcpClient(std::string host, uint16_t port, uint8_t unit_id, int32_t timeout_ms);
    // Port, unit id and time-out from the call's options (Options{}: the defaults).
    ModbusTcpClient(std::string host, const Options& options);
    ModbusTcpClient(const ModbusTcpClient&) = delete;
    ModbusTcpClient& operator=(const ModbusTcpClient&) = delete;

    void connect();
    std::string endpoint() const;

    // Sends one PDU to `unit` and returns the response PDU; throws on any failure.
    std::vector<uint8_t> request(const std::vector<uint8_t>& pdu, uint8_t unit);

    // unit < 0 means the client's own unit id.
    std::vector<uint16_t> read_holding_registers(uint16_t address, uint16_t count, int unit = -1);
    void write_single_register(uint16_t address, uint16_t value);
    void write_multiple_registers(uint16_t address, const std::vector<uint16_t>& values);

    const std::string& host() const { return host_; }
    uint16_t port() const { return port_; }
    uint8_t unit_id() const { return unit_id_; }
    // Sessions that share one connection each address their own unit.
    void set_unit_id(uint8_t unit_id) { unit_id_ = unit_id; }
    // The handle another thread may shut down (platform::shutdown_socket) to end a wait.
    platform::NativeSocket native_socket() const { return sock_.native(); }
    int32_t timeout_ms() const { return timeout_ms_; }
    uint16_t transaction_id() const { return transaction_id_; }
    // True once a failure has left the byte stream unusable (see broken_).
    bool broken() const { return !broken_.empty(); }

private:
    [[noreturn]] void fail_stream(const std::string& message);

    std::string host_;
    uint16_t port_;
    uint8_t unit_id_;
    int32_t timeout_ms_;
    uint16_t transaction_id_ = 0;
    platform::Socket sock_;
    // Set once the byte stream may be out of step with the requests: every
    // later request fails at once with this message instead of reading the
    // stale answer to an earlier one.
    std::string broken_;
};

// Reads `count` consecutive registers in requests of at most 120.
std::vector<uint16_t> read_words(ModbusTcpClient& client, uint16_t address, uint16_t count);

// Runs one optional read. A meter says "I have no such register" with a whole
// answer (an exception, an unexpected reply): that failure is absorbed and
// false returned, so that the caller falls back. A broken connection is no
// answer at all: it ends the call with the failure that broke it.
template <typename Read>
bool read_optional(ModbusTcpClient& client, Read&& read) {
    try {
        read();
        return true;
    } catch (const std::runtime_error&) {
        if (client.broken()) throw;
        return false;
    }
}

}  // namespace tandrel
