// A 32-bit value spans two registers, low-order word first, wherever the
// meters keep one: identification, measurement points and log records.
#pragma once

#include <cstdint>

namespace tandrel {

inline uint32_t low_word_first(uint16_t low, uint16_t high) {
    return static_cast<uint32_t>(low) | (static_cast<uint32_t>(high) << 16);
}

}  // namespace tandrel
