// Hexadecimal texts for messages, headers and files.
#include "core/hex_text.h"

namespace tandrel {

void append_hex(std::string& out, uint32_t value, int min_digits) {
    static const char HEX[] = "0123456789ABCDEF";
    int digits = 1;
    while (digits < 8 && (value >> (4 * digits)) != 0) ++digits;
    if (digits < min_digits) digits = min_digits > 8 ? 8 : min_digits;
    out += "0x";
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4) out += HEX[(value >> shift) & 0xF];
}

std::string hex_text(uint32_t value, int min_digits) {
    std::string text;
    append_hex(text, value, min_digits);
    return text;
}

}  // namespace tandrel
