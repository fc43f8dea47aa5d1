// The Modbus TCP client: MBAP framing over the platform socket, and the
// register requests built on it. The response's transaction, protocol and
// unit identifiers are read but deliberately not compared: gateways and
// meters in the field answer with other values.
#include "modbus/modbus_tcp_client.h"

#include <mutex>
#include <stdexcept>

#include "core/log_sink.h"

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
constexpr uint16_t MAX_READ_CHUNK = 120;

void put16(std::vector<uint8_t>& pdu, uint16_t v) {
    pdu.push_back(static_cast<uint8_t>(v >> 8));
    pdu.push_back(static_cast<uint8_t>(v & 0xFF));
}

}  // namespace

ModbusTcpClient::ModbusTcpClient(std::string host, uint16_t port, uint8_t unit_id,
                                 int32_t timeout_ms)
    : host_(std::move(host)), port_(port), unit_id_(unit_id), timeout_ms_(timeout_ms) {}

ModbusTcpClient::ModbusTcpClient(std::string host, const Options& options)
    : ModbusTcpClient(std::move(host), options.port, options.unit_id, options.timeout_ms) {}

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

// Register requests (function codes 3, 6 and 16). Replies are checked for
// function code and byte count; echoed addresses are not compared.

std::vector<uint16_t> ModbusTcpClient::read_holding_registers(uint16_t address, uint16_t count,
                                                              int unit) {
    // Built whole, not pushed byte by byte: this runs once per request of every transfer.
    const std::vector<uint8_t> pdu{3, static_cast<uint8_t>(address >> 8),
                                   static_cast<uint8_t>(address & 0xFF),
                                   static_cast<uint8_t>(count >> 8),
                                   static_cast<uint8_t>(count & 0xFF)};
    const uint8_t target = unit < 0 ? unit_id_ : static_cast<uint8_t>(unit & 0xFF);
    const std::vector<uint8_t> r = request(pdu, target);
    if (r.size() < 2 || r[0] != 3) throw std::runtime_error("Invalid read response");
    if (r[1] != r.size() - 2 || static_cast<size_t>(r[1]) != static_cast<size_t>(count) * 2) {
        throw std::runtime_error("Malformed read response length");
    }
    std::vector<uint16_t> words(count);
    for (size_t i = 0; i < count; ++i) {
        words[i] = static_cast<uint16_t>((r[2 + 2 * i] << 8) | r[3 + 2 * i]);
    }
    return words;
}

void ModbusTcpClient::write_single_register(uint16_t address, uint16_t value) {
    std::vector<uint8_t> pdu{6};
    put16(pdu, address);
    put16(pdu, value);
    const std::vector<uint8_t> r = request(pdu, unit_id_);
    if (r.size() != 5 || r[0] != 6) throw std::runtime_error("Invalid write single response");
}

void ModbusTcpClient::write_multiple_registers(uint16_t address,
                                               const std::vector<uint16_t>& values) {
    std::vector<uint8_t> pdu{16};
    put16(pdu, address);
    put16(pdu, static_cast<uint16_t>(values.size()));
    pdu.push_back(static_cast<uint8_t>(values.size() * 2));
    for (const uint16_t v : values) put16(pdu, v);
    const std::vector<uint8_t> r = request(pdu, unit_id_);
    if (r.size() != 5 || r[0] != 16) throw std::runtime_error("Invalid write multiple response");
}

std::vector<uint16_t> read_words(ModbusTcpClient& client, uint16_t address, uint16_t count) {
    // One chunk needs no second buffer and no copy: most reads are this size.
    if (count > 0 && count <= MAX_READ_CHUNK) {
        return client.read_holding_registers(address, count, -1);
    }
    std::vector<uint16_t> result;
    result.reserve(count);
    uint16_t remaining = count;
    while (remaining > 0) {
        const uint16_t chunk = remaining < MAX_READ_CHUNK ? remaining : MAX_READ_CHUNK;
        const std::vector<uint16_t> part = client.read_holding_registers(address, chunk, -1);
        result.insert(result.end(), part.begin(), part.end());
        address = static_cast<uint16_t>(address + chunk);
        remaining = static_cast<uint16_t>(remaining - chunk);
    }
    return result;
}

}  // namespace tandrel
