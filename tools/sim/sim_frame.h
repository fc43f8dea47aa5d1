// Modbus TCP framing on the server side: cutting requests out of the byte
// stream, decoding their protocol data units and building answers. Pure
// functions over bytes, independent of the library's client framing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tandrel_sim {

// Largest MBAP length field a request may carry: unit id + 253 PDU bytes.
constexpr std::size_t MAX_MBAP_LENGTH = 254;

struct Frame {
    std::uint16_t transaction_id = 0;
    std::uint16_t protocol_id = 0;
    std::uint8_t unit_id = 0;
    std::vector<std::uint8_t> pdu;
};

enum class ParseStatus { Incomplete, Complete, Malformed };

// Looks at the start of a receive buffer. Complete: out holds the first frame
// and consumed its size in bytes. Malformed: the stream cannot be framed (a
// protocol id other than 0 or a length field outside 2..254); the connection
// must be closed, since no later byte can be trusted to start a frame.
ParseStatus parse_frame(const std::uint8_t* data, std::size_t size, Frame& out,
                        std::size_t& consumed);

std::vector<std::uint8_t> build_frame(std::uint16_t transaction_id, std::uint8_t unit_id,
                                      const std::vector<std::uint8_t>& pdu);

// A request PDU decoded for functions 3, 6 and 16. `exception` is 0 for a
// well-formed request, 1 for an unsupported function, 3 for a bad quantity,
// byte count or PDU length.
struct PduRequest {
    std::uint8_t function = 0;
    std::uint16_t address = 0;
    std::uint16_t count = 0;
    std::vector<std::uint16_t> values;
    int exception = 0;
};

PduRequest decode_request(const std::vector<std::uint8_t>& pdu);

std::vector<std::uint8_t> read_response(std::uint8_t function,
                                        const std::vector<std::uint16_t>& words);
std::vector<std::uint8_t> exception_response(std::uint8_t function, int code);
// The echo of a write: address and value (function 6) or address and quantity (16).
std::vector<std::uint8_t> write_echo(std::uint8_t function, std::uint16_t address,
                                     std::uint16_t value_or_count);

}  // namespace tandrel_sim
