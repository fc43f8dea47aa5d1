// The fast fake meter of the libFuzzer executables: the platform socket
// calls themselves, answered in memory from the tape, with no kernel socket
// and no peer thread. A request frame sent by the client is answered at once
// into the connection's receive buffer; a receive that asks for more than the
// buffer holds fails, as a real receive would after the peer closed or the
// time-out ran out. The loopback peer (fuzz_peer.cpp) keeps the real path
// covered in the corpus replays; this one lets a harness run tens of
// thousands of calls a second instead of hundreds.
//
// Linked instead of the library's socket_posix.cpp.
#include <cstring>
#include <map>
#include <mutex>

#include "fuzz_peer.h"
#include "fuzz_script.h"
#include "platform/socket.h"

namespace tandrel::fuzz {
namespace {

struct Connection {
    std::vector<std::uint8_t> to_client;  // answers not yet received
    std::size_t read_pos = 0;
    std::vector<std::uint8_t> from_client;  // a request frame in the making
    bool peer_closed = false;
};

struct MemoryMeter {
    std::mutex mutex;
    AnswerTape tape;
    std::map<platform::NativeSocket, Connection> connections;
    platform::NativeSocket next_handle = 1;
};

MemoryMeter& meter() {
    static MemoryMeter m;
    return m;
}

// Answers every whole request frame the client has sent so far.
void answer_requests(MemoryMeter& m, Connection& c) {
    for (;;) {
        if (c.from_client.size() < 7) return;
        const std::size_t length = (std::size_t{c.from_client[4]} << 8) | c.from_client[5];
        if (length < 2) {
            c.peer_closed = true;  // as the loopback peer: a frame it cannot read ends it
            c.from_client.clear();
            return;
        }
        if (c.from_client.size() < 6 + length) return;
        const auto tid = static_cast<std::uint16_t>((c.from_client[0] << 8) | c.from_client[1]);
        const std::vector<std::uint8_t> pdu(c.from_client.begin() + 7,
                                            c.from_client.begin() + 6 + std::ptrdiff_t(length));
        c.from_client.erase(c.from_client.begin(), c.from_client.begin() + 6 + std::ptrdiff_t(length));
        if (c.peer_closed) continue;  // a closed peer hears nothing
        const Answer a = m.tape.next(tid, pdu);
        c.to_client.insert(c.to_client.end(), a.frame.begin(), a.frame.end());
        if (a.close_after) c.peer_closed = true;
    }
}

}  // namespace

std::string install_tape(const std::uint8_t* data, std::size_t size) {
    MemoryMeter& m = meter();
    std::lock_guard<std::mutex> lock(m.mutex);
    m.tape = AnswerTape(data, size);
    return "{\"port\":502,\"timeout_ms\":100}";
}

}  // namespace tandrel::fuzz

namespace tandrel::platform {

using fuzz::meter;

NativeSocket Socket::invalid_handle() { return -1; }

void Socket::close() {
    if (!valid()) return;
    auto& m = meter();
    std::lock_guard<std::mutex> lock(m.mutex);
    m.connections.erase(handle_);
    handle_ = invalid_handle();
}

bool Socket::send_all(const std::uint8_t* data, std::size_t size) {
    auto& m = meter();
    std::lock_guard<std::mutex> lock(m.mutex);
    const auto it = m.connections.find(handle_);
    if (it == m.connections.end()) return false;
    // As on TCP, a send to a peer that has closed still succeeds; the
    // receive that follows is what fails.
    it->second.from_client.insert(it->second.from_client.end(), data, data + size);
    fuzz::answer_requests(m, it->second);
    return true;
}

bool Socket::recv_exact(std::uint8_t* data, std::size_t size) {
    auto& m = meter();
    std::lock_guard<std::mutex> lock(m.mutex);
    const auto it = m.connections.find(handle_);
    if (it == m.connections.end()) return false;
    fuzz::Connection& c = it->second;
    const std::size_t available = c.to_client.size() - c.read_pos;
    if (available < size) {
        c.read_pos = c.to_client.size();
        return false;
    }
    std::memcpy(data, c.to_client.data() + c.read_pos, size);
    c.read_pos += size;
    if (c.read_pos == c.to_client.size()) {
        c.to_client.clear();
        c.read_pos = 0;
    }
    return true;
}

bool startup_sockets() { return true; }

ConnectStatus connect_tcp(Socket& sock, std::uint32_t, std::uint16_t, int) {
    sock.close();
    auto& m = meter();
    NativeSocket handle = 0;
    {
        std::lock_guard<std::mutex> lock(m.mutex);
        handle = m.next_handle++;
        m.connections[handle] = fuzz::Connection{};
    }
    sock = Socket(handle);
    return ConnectStatus::Connected;
}

}  // namespace tandrel::platform
