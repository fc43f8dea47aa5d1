// A bare Modbus TCP client for the simulator's tests: its own framing, so
// that the simulator is checked against neither the library's client nor its
// own frame parser.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/socket.h"

namespace sim_test {

struct Answer {
    std::uint16_t transaction_id = 0;
    std::uint16_t length = 0;
    std::vector<std::uint8_t> pdu;
};

inline void put16(std::vector<std::uint8_t>& v, std::uint16_t x) {
    v.push_back(static_cast<std::uint8_t>(x >> 8));
    v.push_back(static_cast<std::uint8_t>(x & 0xFF));
}

inline std::vector<std::uint8_t> read_pdu(std::uint16_t address, std::uint16_t count) {
    std::vector<std::uint8_t> p{3};
    put16(p, address);
    put16(p, count);
    return p;
}

inline std::vector<std::uint8_t> write_single_pdu(std::uint16_t address, std::uint16_t value) {
    std::vector<std::uint8_t> p{6};
    put16(p, address);
    put16(p, value);
    return p;
}

inline std::vector<std::uint8_t> write_multiple_pdu(std::uint16_t address,
                                                    const std::vector<std::uint16_t>& values) {
    std::vector<std::uint8_t> p{16};
    put16(p, address);
    put16(p, static_cast<std::uint16_t>(values.size()));
    p.push_back(static_cast<std::uint8_t>(2 * values.size()));
    for (std::uint16_t v : values) put16(p, v);
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

    bool send_request(std::uint8_t unit, const std::vector<std::uint8_t>& pdu) {
        std::vector<std::uint8_t> f;
        put16(f, ++tid_);
        put16(f, 0);
        put16(f, static_cast<std::uint16_t>(pdu.size() + 1));
        f.push_back(unit);
        f.insert(f.end(), pdu.begin(), pdu.end());
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

    std::optional<Answer> exchange(const std::vector<std::uint8_t>& pdu, std::uint8_t unit = 1) {
        if (!send_request(unit, pdu)) return std::nullopt;
        return receive();
    }

    // Register words, or throws with "exception N" / "no answer".
    std::vector<std::uint16_t> read(std::uint16_t address, std::uint16_t count, std::uint8_t unit = 1) {
        const std::optional<Answer> a = exchange(read_pdu(address, count), unit);
        if (!a || a->pdu.empty()) throw std::runtime_error("no answer");
        if (a->pdu[0] & 0x80) throw std::runtime_error("exception " + std::to_string(a->pdu.at(1)));
        std::vector<std::uint16_t> words;
        for (std::size_t i = 2; i + 1 < a->pdu.size(); i += 2) {
            words.push_back(static_cast<std::uint16_t>(a->pdu[i] << 8 | a->pdu[i + 1]));
        }
        return words;
    }

    // The exception code of the answer, 0 for a normal answer, -1 for none.
    int exception_of(const std::vector<std::uint8_t>& pdu, std::uint8_t unit = 1) {
        const std::optional<Answer> a = exchange(pdu, unit);
        if (!a || a->pdu.empty()) return -1;
        return (a->pdu[0] & 0x80) ? a->pdu.at(1) : 0;
    }

    void write(std::uint16_t address, const std::vector<std::uint16_t>& values) {
        if (exception_of(write_multiple_pdu(address, values)) != 0) {
            throw std::runtime_error("write refused");
        }
    }

    void write_single(std::uint16_t address, std::uint16_t value) {
        if (exception_of(write_single_pdu(address, value)) != 0) {
            throw std::runtime_error("write refused");
        }
    }

    tandrel::platform::Socket& socket() { return sock_; }

private:
    tandrel::platform::Socket sock_;
    std::uint16_t tid_ = 0;
};

inline std::int32_t i32(const std::vector<std::uint16_t>& w, std::size_t at) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(w.at(at)) |
                                     static_cast<std::uint32_t>(w.at(at + 1)) << 16);
}

}  // namespace sim_test
