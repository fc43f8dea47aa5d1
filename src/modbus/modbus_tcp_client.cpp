// MBAP framing over the platform socket. The response's transaction, protocol
// and unit identifiers are read but deliberately not compared: gateways and
// meters in the field answer with other values.
#include "modbus_tcp_client.h"

#include <mutex>
#include <stdexcept>

#include "api/log_sink.h"

namespace tandrel {
namespace {

std::once_flag wsa_flag;

void start_sockets_once() {
    // An exception leaves the flag unset, so the next connect tries again.
    std::call_once(wsa_flag, [] {
        if (!platform::startup_sockets()) throw std::runtime_error("WSAStartup failed");
    });
}

constexpr size_t MBAP_SIZE = 7;

}  // namespace

ModbusTcpClient::ModbusTcpClient(std::string host, uint16_t port, uint8_t unit_id,
                                 int32_t timeout_ms)
    : host_(std::move(host)), port_(port), unit_id_(unit_id), timeout_ms_(timeout_ms) {}

std::string ModbusTcpClient::endpoint() const { return host_ + ":" + std::to_string(port_); }

void ModbusTcpClient::connect() {
    start_sockets_once();
    uint32_t addr = 0;
    if (!platform::parse_ipv4(host_, addr) && !platform::resolve_ipv4(host_, addr)) {
        throw std::runtime_error("Cannot resolve host: " + host_);
    }
    switch (platform::connect_tcp(sock_, addr, port_, timeout_ms_)) {
        case platform::ConnectStatus::Connected:
            break;
        case platform::ConnectStatus::NoSocket:
            throw std::runtime_error("socket() failed");
        case platform::ConnectStatus::Failed:
            throw std::runtime_error("Cannot connect to " + endpoint());
        case platform::ConnectStatus::TimedOut:
            throw std::runtime_error("Timed out connecting to " + endpoint());
    }
    broken_.clear();
    log_msg(LogLevel::Debug, "Connected to " + endpoint());
}

void ModbusTcpClient::fail_stream(const std::string& message) {
    broken_ = message;
    throw std::runtime_error(message);
}

std::vector<uint8_t> ModbusTcpClient::request(const std::vector<uint8_t>& pdu, uint8_t unit) {
    if (!sock_.valid()) throw std::runtime_error("Socket not connected");
    if (!broken_.empty()) throw std::runtime_error(broken_);
    ++transaction_id_;
    const size_t length = pdu.size() + 1;
    std::vector<uint8_t> frame;
    frame.reserve(MBAP_SIZE + pdu.size());
    frame.push_back(static_cast<uint8_t>(transaction_id_ >> 8));
    frame.push_back(static_cast<uint8_t>(transaction_id_ & 0xFF));
    frame.push_back(0);
    frame.push_back(0);
    frame.push_back(static_cast<uint8_t>((length >> 8) & 0xFF));
    frame.push_back(static_cast<uint8_t>(length & 0xFF));
    frame.push_back(unit);
    frame.insert(frame.end(), pdu.begin(), pdu.end());
    if (!sock_.send_all(frame.data(), frame.size())) fail_stream("socket send failed");

    uint8_t header[MBAP_SIZE];
    if (!sock_.recv_exact(header, MBAP_SIZE)) fail_stream("socket recv failed");
    const unsigned declared = (static_cast<unsigned>(header[4]) << 8) | header[5];
    if (declared < 2 || declared > 260) {
        fail_stream("Invalid MBAP length: " + std::to_string(declared));
    }
    std::vector<uint8_t> response(declared - 1);
    if (!sock_.recv_exact(response.data(), response.size())) fail_stream("socket recv failed");
    if (response[0] & 0x80) {
        const int code = response.size() >= 2 ? response[1] : -1;
        throw std::runtime_error("Modbus exception " + std::to_string(code));
    }
    return response;
}

}  // namespace tandrel
