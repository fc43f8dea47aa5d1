// Upper-case hexadecimal texts with the "0x" prefix, the one form in which
// messages, column headers and files print point ids and raw words.
#pragma once

#include <cstdint>
#include <string>

namespace tandrel {

// At least min_digits digits, more as the value needs: (0x1500, 4) gives
// "0x1500", (0x1, 1) gives "0x1", (0x100001, 1) gives "0x100001".
void append_hex(std::string& out, uint32_t value, int min_digits);
std::string hex_text(uint32_t value, int min_digits);

// "0x" and four digits: 5376 gives "0x1500".
inline std::string hex4(uint16_t value) { return hex_text(value, 4); }

}  // namespace tandrel
