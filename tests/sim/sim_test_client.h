// A bare Modbus TCP client for the simulator's tests: framing of its own, so
// that the simulator is checked against neither the library's client nor its
// own frame parser.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <vector>

#include "platform/socket.h"

namespace sim_test {

struct Answer {
    std::uint16_t transaction_id = 0;
    std::uint16_t length = 0;
    std::vector<std::uint8_t> pdu;
};

inline std::vector<std::uint8_t> pdu(std::uint8_t function, std::uint16_t address,
                                     std::uint16_t value) {
    return {function, static_cast<std::uint8_t>(address >> 8),
            static_cast<std::uint8_t>(address & 0xFF), static_cast<std::uint8_t>(value >> 8),
            static_cast<std::uint8_t>(value & 0xFF)};
}
inline std::vector<std::uint8_t> read_pdu(std::uint16_t address, std::uint16_t count) {
    return pdu(3, address, count);
}
inline std::vector<std::uint8_t> write_pdu(std::uint16_t address,
                                           const std::vector<std::uint16_t>& values) {
    std::vector<std::uint8_t> p = pdu(16, address, static_cast<std::uint16_t>(values.size()));
    p.push_back(static_cast<std::uint8_t>(2 * values.size()));
    for (const std::uint16_t v : values) {
        p.push_back(static_cast<std::uint8_t>(v >> 8));
        p.push_back(static_cast<std::uint8_t>(v & 0xFF));
    }
    return p;
}

class RawClient {
public:
    explicit RawClient(std::uint16_t port, int timeout_ms = 3000) {
        std::uint32_t addr = 0;
        tandrel::platform::startup_sockets();
        tandrel::platform::parse_ipv4("127.0.0.1", addr);
        if (tandrel::platform::connect_tcp(sock_, addr, port, timeout_ms) !=
            tandrel::platform::ConnectStatus::Connected) {
            throw std::runtime_error("test client cannot connect");
        }
    }

    bool send_bytes(const std::vector<std::uint8_t>& bytes) {
        return sock_.send_all(bytes.data(), bytes.size());
    }

    bool send_request(std::uint8_t unit, const std::vector<std::uint8_t>& p) {
        ++tid_;
        const auto length = static_cast<std::uint16_t>(p.size() + 1);
        std::vector<std::uint8_t> f = {static_cast<std::uint8_t>(tid_ >> 8),
                                       static_cast<std::uint8_t>(tid_ & 0xFF), 0, 0,
                                       static_cast<std::uint8_t>(length >> 8),
                                       static_cast<std::uint8_t>(length & 0xFF), unit};
        f.insert(f.end(), p.begin(), p.end());
        return send_bytes(f);
    }

    // Reads one answer to the length its header announces; nullopt on close or time-out.
    std::optional<Answer> receive() {
        std::uint8_t h[7];
        if (!sock_.recv_exact(h, 7)) return std::nullopt;
        Answer a;
        a.transaction_id = static_cast<std::uint16_t>(h[0] << 8 | h[1]);
        a.length = static_cast<std::uint16_t>(h[4] << 8 | h[5]);
        if (a.length < 1 || a.length > 300) return a;
        a.pdu.resize(a.length - 1u);
        if (!a.pdu.empty() && !sock_.recv_exact(a.pdu.data(), a.pdu.size())) return std::nullopt;
        return a;
    }

    std::optional<Answer> exchange(const std::vector<std::uint8_t>& p, std::uint8_t unit = 1) {
        if (!send_request(unit, p)) return std::nullopt;
        return receive();
    }

    // The exception code of the answer, 0 for a normal answer, -1 for none.
    int exception_of(const std::vector<std::uint8_t>& p, std::uint8_t unit = 1) {
        const std::optional<Answer> a = exchange(p, unit);
        if (!a || a->pdu.empty()) return -1;
        return (a->pdu[0] & 0x80) ? a->pdu.at(1) : 0;
    }

    tandrel::platform::Socket& socket() { return sock_; }

private:
    tandrel::platform::Socket sock_;
    std::uint16_t tid_ = 0;
};

}  // namespace sim_test
