// The fake meter of the meter harnesses: the platform socket calls
// themselves, answered in memory from the tape the current input installed,
// with no kernel socket and no peer thread, so that a harness runs tens of
// thousands of calls a second. A request frame sent by the client is answered
// at once into the connection's receive buffer; a receive that asks for more
// than the buffer holds fails, as a real receive would after the peer closed
// or the time-out ran out. Linked instead of the library's socket_posix.cpp.
//
// The tape is read from the front, one answer per request. Most answers "fit"
// the request (right function code and byte count, register contents from the
// tape), so that the decoders are reached; the rest are exceptions, raw PDUs,
// bad MBAP lengths, wrong transaction ids, byte-wise segments and closed
// connections. A spent tape closes the connection: the client then fails
// every further request at once, so a call ends without a round trip per
// remaining point or file.
#include <algorithm>
#include <cstring>
#include <vector>

#include "harnesses.h"
#include "platform/socket.h"
#include "sim/sim_frame.h"
#include "support/scripted_server.h"

namespace tandrel::fuzz {
namespace {

using testing::response_frame;
using Bytes = std::vector<std::uint8_t>;

// The one connection a call holds at a time; a connect replaces it, and a
// socket of an earlier one is dead. No lock: a harness runs one call at a
// time on one thread, and the library starts none of its own.
struct MemoryMeter {
    Bytes tape;
    std::size_t tape_pos = 0;
    platform::NativeSocket handle = 0;
    Bytes to_client;    // answers not yet received
    Bytes from_client;  // a request frame in the making
    bool peer_closed = false;

    int take() { return tape_pos < tape.size() ? tape[tape_pos++] : -1; }
    std::uint8_t take_or_zero() { return static_cast<std::uint8_t>(std::max(take(), 0)); }

    // The answer a well-behaved meter would give, with register contents from the tape.
    Bytes fitting_pdu(const Bytes& request_pdu) {
        if (request_pdu.size() < 5) return {0x80, 1};
        if (request_pdu[0] != 3) return Bytes(request_pdu.begin(), request_pdu.begin() + 5);
        const int count = (request_pdu[3] << 8) | request_pdu[4];
        Bytes pdu{3, static_cast<std::uint8_t>((count * 2) & 0xFF)};
        for (int i = 0; i < count * 2 && i < 250; ++i) pdu.push_back(take_or_zero());
        return pdu;
    }

    // The next answer from the tape, queued for the client; the peer may close after it.
    void answer(std::uint16_t tid, const Bytes& request_pdu) {
        const std::uint8_t fc = request_pdu.empty() ? 0 : request_pdu[0];
        const int op = take();
        Bytes frame;
        if (op < 0 || op >= 0xFE) {
            peer_closed = true;
        } else if (op < 0xC0 || op >= 0xFC) {  // 0xFC-0xFD: byte-wise segments, the same here
            frame = response_frame(tid, fitting_pdu(request_pdu));
        } else if (op < 0xE0) {
            frame = response_frame(tid, {static_cast<std::uint8_t>(fc | 0x80), static_cast<std::uint8_t>(op - 0xC0)});
        } else if (op < 0xF0) {
            Bytes pdu(take_or_zero());
            for (auto& b : pdu) b = take_or_zero();
            frame = response_frame(tid, pdu);
        } else if (op < 0xF8) {
            // A length field that need not match what follows; the peer
            // closes after it, so a short frame ends in a closed connection.
            const int length = (take_or_zero() << 8) | take_or_zero();
            frame = response_frame(tid, fitting_pdu(request_pdu), length);
            peer_closed = true;
        } else {
            frame = response_frame(static_cast<std::uint16_t>(tid + 1), fitting_pdu(request_pdu));
        }
        to_client.insert(to_client.end(), frame.begin(), frame.end());
    }
};

MemoryMeter& meter() {
    static MemoryMeter m;
    return m;
}

// Answers every whole request frame the client has sent so far.
void answer_requests(MemoryMeter& m) {
    tandrel_sim::Frame request;
    for (std::size_t used = 0;;) {
        const auto status = tandrel_sim::parse_frame(m.from_client.data(), m.from_client.size(), request, used);
        if (status == tandrel_sim::ParseStatus::Incomplete) return;
        if (status == tandrel_sim::ParseStatus::Malformed) {
            m.peer_closed = true;  // a frame the peer cannot read ends the connection
            m.from_client.clear();
            return;
        }
        m.from_client.erase(m.from_client.begin(), m.from_client.begin() + std::ptrdiff_t(used));
        if (!m.peer_closed) m.answer(request.transaction_id, request.pdu);  // a closed peer hears nothing
    }
}

}  // namespace

std::string install_tape(const std::uint8_t* data, std::size_t size) {
    meter().tape.assign(data, data + size);
    meter().tape_pos = 0;
    return "{\"port\":502,\"timeout_ms\":100}";
}

}  // namespace tandrel::fuzz

namespace tandrel::platform {

using fuzz::meter;

NativeSocket Socket::invalid_handle() { return -1; }

void Socket::close() { handle_ = invalid_handle(); }

bool Socket::send_all(const std::uint8_t* data, std::size_t size) {
    if (!valid() || handle_ != meter().handle) return false;
    // As on TCP, a send to a peer that has closed still succeeds; the
    // receive that follows is what fails.
    meter().from_client.insert(meter().from_client.end(), data, data + size);
    fuzz::answer_requests(meter());
    return true;
}

bool Socket::recv_exact(std::uint8_t* data, std::size_t size) {
    auto& in = meter().to_client;
    if (!valid() || handle_ != meter().handle || in.size() < size) {
        in.clear();
        return false;
    }
    std::memcpy(data, in.data(), size);
    in.erase(in.begin(), in.begin() + std::ptrdiff_t(size));
    return true;
}

bool startup_sockets() { return true; }

ConnectStatus connect_tcp(Socket& sock, std::uint32_t, std::uint16_t, int) {
    fuzz::MemoryMeter& m = meter();
    m.handle += 1;
    m.to_client.clear();
    m.from_client.clear();
    m.peer_closed = false;
    sock = Socket(m.handle);
    return ConnectStatus::Connected;
}

}  // namespace tandrel::platform
