// Holding registers of the simulated meter; see register_map.h.
#include "register_map.h"

namespace tandrel_sim {

RegisterMap::RegisterMap() : values_(65536, 0), codes_(65536, 2), pinned_(65536, 0) {}

void RegisterMap::define(std::uint16_t address, std::uint16_t value) {
    values_[address] = value;
    codes_[address] = 0;
}

void RegisterMap::set(std::uint16_t address, std::uint16_t value) {
    define(address, value);
    pinned_[address] = 1;
}

void RegisterMap::update(std::uint16_t address, std::uint16_t value) {
    if (codes_[address] == 0 && pinned_[address] == 0) values_[address] = value;
}

void RegisterMap::reject(std::uint16_t lo, std::uint16_t hi, int code) {
    for (std::uint32_t a = lo; a <= hi; ++a) {
        codes_[a] = static_cast<std::uint8_t>(code);
        pinned_[a] = 0;
    }
}

int RegisterMap::check(std::uint16_t address, int count) const {
    if (static_cast<std::uint32_t>(address) + static_cast<std::uint32_t>(count) > 65536u) return 2;
    for (int i = 0; i < count; ++i) {
        const std::uint8_t c = codes_[address + i];
        if (c != 0) return c;
    }
    return 0;
}

}  // namespace tandrel_sim
