// A loopback Modbus TCP peer for transport tests that answers exactly as the
// test scripts it: whole frames, malformed, late or not at all.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/listener.h"
#include "sim/sim_frame.h"

namespace tandrel::testing {

// Request frames as the simulator's own parser cuts them.
using Frame = tandrel_sim::Frame;

class ScriptedServer;

// One accepted connection, handed to the script on the server's thread.
class Peer {
public:
    Peer(platform::Socket sock, ScriptedServer& owner) : sock_(std::move(sock)), owner_(owner) {}
    // Reads and records one request frame; false when the client closed or
    // nothing came within wait_ms.
    bool read_frame(Frame& frame, int wait_ms = 5000);
    void send(const std::vector<uint8_t>& bytes);
    void close() { sock_.close(); }

private:
    platform::Socket sock_;
    ScriptedServer& owner_;
};

// The MBAP frame of a response from unit 1, with the given length field
// (negative: the true one).
inline std::vector<uint8_t> response_frame(uint16_t transaction_id, const std::vector<uint8_t>& pdu,
                                           int length_field = -1) {
    std::vector<uint8_t> out = tandrel_sim::build_frame(transaction_id, 1, pdu);
    if (length_field >= 0) {
        out[4] = static_cast<uint8_t>((length_field >> 8) & 0xFF);
        out[5] = static_cast<uint8_t>(length_field & 0xFF);
    }
    return out;
}

// A normal answer to a read of `count` registers holding 0x0100 + index.
std::vector<uint8_t> read_answer(const Frame& request);

class ScriptedServer {
public:
    using Script = std::function<void(Peer&)>;
    // Runs script once per accepted connection, one connection at a time.
    explicit ScriptedServer(Script script);
    ~ScriptedServer();
    uint16_t port() const { return listener_.port(); }
    // Every request frame the scripts have read, in order.
    std::vector<Frame> received() const;
    void record(const Frame& frame);

private:
    void serve();

    Script script_;
    platform::Listener listener_;
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    std::vector<Frame> received_;
    std::thread thread_;
};

}  // namespace tandrel::testing
