// Holding-register reads and writes (function codes 3, 6 and 16). Replies are
// checked for function code and byte count; echoed addresses are not compared.
#include <stdexcept>

#include "modbus_tcp_client.h"

namespace tandrel {
namespace {

constexpr uint16_t MAX_READ_CHUNK = 120;

void put16(std::vector<uint8_t>& pdu, uint16_t v) {
    pdu.push_back(static_cast<uint8_t>(v >> 8));
    pdu.push_back(static_cast<uint8_t>(v & 0xFF));
}

}  // namespace

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
