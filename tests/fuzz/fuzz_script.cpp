#include "fuzz_script.h"

namespace tandrel::fuzz {

std::vector<std::uint8_t> mbap_frame(std::uint16_t transaction_id,
                                     const std::vector<std::uint8_t>& pdu, int length_field) {
    const int length = length_field >= 0 ? length_field : static_cast<int>(pdu.size()) + 1;
    std::vector<std::uint8_t> out;
    out.reserve(7 + pdu.size());
    out.push_back(static_cast<std::uint8_t>(transaction_id >> 8));
    out.push_back(static_cast<std::uint8_t>(transaction_id & 0xFF));
    out.push_back(0);
    out.push_back(0);
    out.push_back(static_cast<std::uint8_t>((length >> 8) & 0xFF));
    out.push_back(static_cast<std::uint8_t>(length & 0xFF));
    out.push_back(1);
    for (const std::uint8_t b : pdu) out.push_back(b);
    return out;
}

int AnswerTape::take() { return pos_ < data_.size() ? data_[pos_++] : -1; }

std::uint8_t AnswerTape::take_or_zero() {
    const int b = take();
    return static_cast<std::uint8_t>(b < 0 ? 0 : b);
}

// The answer a well-behaved meter would give, with register contents from the tape.
std::vector<std::uint8_t> AnswerTape::fitting_pdu(const std::vector<std::uint8_t>& request_pdu) {
    if (request_pdu.size() < 5) return {0x80, 1};
    const std::uint8_t fc = request_pdu[0];
    if (fc != 3) return std::vector<std::uint8_t>(request_pdu.begin(), request_pdu.begin() + 5);
    const int count = (request_pdu[3] << 8) | request_pdu[4];
    std::vector<std::uint8_t> pdu{3, static_cast<std::uint8_t>((count * 2) & 0xFF)};
    for (int i = 0; i < count * 2 && i < 250; ++i) pdu.push_back(take_or_zero());
    return pdu;
}

Answer AnswerTape::next(std::uint16_t tid, const std::vector<std::uint8_t>& request_pdu) {
    const std::uint8_t fc = request_pdu.empty() ? 0 : request_pdu[0];
    const int op = take();
    Answer a;
    if (op < 0) {
        a.close_after = true;
    } else if (op < 0xC0) {
        a.frame = mbap_frame(tid, fitting_pdu(request_pdu));
    } else if (op < 0xE0) {
        a.frame = mbap_frame(tid, {static_cast<std::uint8_t>(fc | 0x80),
                                   static_cast<std::uint8_t>(op - 0xC0)});
    } else if (op < 0xF0) {
        std::vector<std::uint8_t> pdu(take_or_zero());
        for (auto& b : pdu) b = take_or_zero();
        a.frame = mbap_frame(tid, pdu);
    } else if (op < 0xF8) {
        // A length field that need not match what follows: the peer closes
        // after it, so a short frame ends in a closed connection, not a wait.
        const int length = (take_or_zero() << 8) | take_or_zero();
        a.frame = mbap_frame(tid, fitting_pdu(request_pdu), length);
        a.close_after = true;
    } else if (op < 0xFC) {
        a.frame = mbap_frame(static_cast<std::uint16_t>(tid + 1), fitting_pdu(request_pdu));
    } else if (op < 0xFE) {
        a.frame = mbap_frame(tid, fitting_pdu(request_pdu));
        a.bytewise = true;
    } else {
        a.close_after = true;
    }
    return a;
}

}  // namespace tandrel::fuzz
