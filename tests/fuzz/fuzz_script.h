// How a fuzz input becomes the meter's answers: a tape read from the front,
// one answer per request. Most answers "fit" the request (right function code
// and byte count, register contents from the tape), so the fuzzer reaches the
// decoders; the rest are exceptions, raw PDUs, bad MBAP lengths, wrong
// transaction ids, byte-wise segments and closed connections. A spent tape
// closes the connection: the client then fails every further request at once,
// so a call ends without a round trip per remaining point or file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tandrel::fuzz {

struct Answer {
    std::vector<std::uint8_t> frame;  // the bytes to send (may be empty)
    bool bytewise = false;            // one byte per TCP segment
    bool close_after = false;         // close the connection after sending
};

class AnswerTape {
public:
    AnswerTape() = default;
    AnswerTape(const std::uint8_t* data, std::size_t size) : data_(data, data + size) {}

    // The answer to one request (its MBAP transaction id and its PDU).
    Answer next(std::uint16_t transaction_id, const std::vector<std::uint8_t>& request_pdu);

private:
    int take();                       // -1 once the tape is spent
    std::uint8_t take_or_zero();
    std::vector<std::uint8_t> fitting_pdu(const std::vector<std::uint8_t>& request_pdu);

    std::vector<std::uint8_t> data_;
    std::size_t pos_ = 0;
};

// A frame: MBAP header with `length_field` (negative: PDU size + 1), then the PDU.
std::vector<std::uint8_t> mbap_frame(std::uint16_t transaction_id,
                                     const std::vector<std::uint8_t>& pdu, int length_field = -1);

}  // namespace tandrel::fuzz
