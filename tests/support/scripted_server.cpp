#include "scripted_server.h"

#include <stdexcept>

namespace tandrel::testing {

bool Peer::read_frame(Frame& frame, int wait_ms) {
    if (platform::wait_readable(sock_, wait_ms) != platform::WaitResult::Ready) return false;
    uint8_t header[7];
    if (!sock_.recv_exact(header, 7)) return false;
    frame.transaction_id = static_cast<uint16_t>((header[0] << 8) | header[1]);
    frame.protocol_id = static_cast<uint16_t>((header[2] << 8) | header[3]);
    const int length = (header[4] << 8) | header[5];
    frame.unit_id = header[6];
    if (length < 1) return false;
    frame.pdu.assign(static_cast<size_t>(length - 1), 0);
    if (!frame.pdu.empty() && !sock_.recv_exact(frame.pdu.data(), frame.pdu.size())) return false;
    owner_.record(frame);
    return true;
}

void Peer::send(const std::vector<uint8_t>& bytes) { sock_.send_all(bytes.data(), bytes.size()); }

std::vector<uint8_t> read_answer(const Frame& request) {
    const int count = (request.pdu[3] << 8) | request.pdu[4];
    std::vector<uint16_t> words;
    for (int i = 0; i < count; ++i) words.push_back(static_cast<uint16_t>(0x0100 + i));
    return response_frame(request.transaction_id, tandrel_sim::read_response(3, words));
}

ScriptedServer::ScriptedServer(Script script) : script_(std::move(script)) {
    if (!listener_.open("127.0.0.1", 0)) throw std::runtime_error("cannot listen on loopback");
    thread_ = std::thread([this] { serve(); });
}

ScriptedServer::~ScriptedServer() {
    stop_ = true;
    thread_.join();
}

std::vector<Frame> ScriptedServer::received() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return received_;
}

void ScriptedServer::record(const Frame& frame) {
    std::lock_guard<std::mutex> lock(mutex_);
    received_.push_back(frame);
}

void ScriptedServer::serve() {
    while (!stop_) {
        if (listener_.wait(50) != platform::WaitResult::Ready) continue;
        Peer peer(listener_.accept(), *this);
        script_(peer);
    }
}

}  // namespace tandrel::testing
