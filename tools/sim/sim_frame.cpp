// Server-side Modbus TCP framing; see sim_frame.h.
#include "sim_frame.h"

namespace tandrel_sim {

namespace {

std::uint16_t be16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}

void put16(std::vector<std::uint8_t>& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v >> 8));
    out.push_back(static_cast<std::uint8_t>(v & 0xFF));
}

PduRequest decode_read(const std::vector<std::uint8_t>& pdu, PduRequest r) {
    if (pdu.size() != 5) return r.exception = 3, r;
    r.address = be16(&pdu[1]);
    r.count = be16(&pdu[3]);
    if (r.count < 1 || r.count > 125) r.exception = 3;
    return r;
}

PduRequest decode_write_single(const std::vector<std::uint8_t>& pdu, PduRequest r) {
    if (pdu.size() != 5) return r.exception = 3, r;
    r.address = be16(&pdu[1]);
    r.count = 1;
    r.values.push_back(be16(&pdu[3]));
    return r;
}

PduRequest decode_write_multiple(const std::vector<std::uint8_t>& pdu, PduRequest r) {
    if (pdu.size() < 6) return r.exception = 3, r;
    r.address = be16(&pdu[1]);
    r.count = be16(&pdu[3]);
    const std::size_t bytes = pdu[5];
    if (r.count < 1 || r.count > 123 || bytes != 2u * r.count || pdu.size() != 6 + bytes) {
        return r.exception = 3, r;
    }
    for (std::size_t i = 0; i < r.count; ++i) r.values.push_back(be16(&pdu[6 + 2 * i]));
    return r;
}

}  // namespace

ParseStatus parse_frame(const std::uint8_t* data, std::size_t size, Frame& out,
                        std::size_t& consumed) {
    if (size < 7) return ParseStatus::Incomplete;
    const std::uint16_t protocol = be16(data + 2);
    const std::size_t length = be16(data + 4);
    if (protocol != 0 || length < 2 || length > MAX_MBAP_LENGTH) return ParseStatus::Malformed;
    if (size < 6 + length) return ParseStatus::Incomplete;
    out.transaction_id = be16(data);
    out.protocol_id = protocol;
    out.unit_id = data[6];
    out.pdu.assign(data + 7, data + 6 + length);
    consumed = 6 + length;
    return ParseStatus::Complete;
}

std::vector<std::uint8_t> build_frame(std::uint16_t transaction_id, std::uint8_t unit_id,
                                      const std::vector<std::uint8_t>& pdu) {
    std::vector<std::uint8_t> out;
    out.reserve(7 + pdu.size());
    put16(out, transaction_id);
    put16(out, 0);
    put16(out, static_cast<std::uint16_t>(pdu.size() + 1));
    out.push_back(unit_id);
    out.insert(out.end(), pdu.begin(), pdu.end());
    return out;
}

PduRequest decode_request(const std::vector<std::uint8_t>& pdu) {
    PduRequest r;
    r.function = pdu.empty() ? 0 : pdu[0];
    switch (r.function) {
    case 3: return decode_read(pdu, r);
    case 6: return decode_write_single(pdu, r);
    case 16: return decode_write_multiple(pdu, r);
    default: r.exception = 1; return r;
    }
}

std::vector<std::uint8_t> read_response(std::uint8_t function,
                                        const std::vector<std::uint16_t>& words) {
    std::vector<std::uint8_t> out;
    out.reserve(2 + 2 * words.size());
    out.push_back(function);
    out.push_back(static_cast<std::uint8_t>(2 * words.size()));
    for (std::uint16_t w : words) put16(out, w);
    return out;
}

std::vector<std::uint8_t> exception_response(std::uint8_t function, int code) {
    return {static_cast<std::uint8_t>(function | 0x80), static_cast<std::uint8_t>(code)};
}

std::vector<std::uint8_t> write_echo(std::uint8_t function, std::uint16_t address,
                                     std::uint16_t value_or_count) {
    std::vector<std::uint8_t> out{function};
    put16(out, address);
    put16(out, value_or_count);
    return out;
}

}  // namespace tandrel_sim
