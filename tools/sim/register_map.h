// The simulated meter's holding registers: 65536 words, each present or
// answering a Modbus exception code, and pinned once a test or a client set
// it, so that the live variation leaves it alone.
#pragma once

#include <cstdint>
#include <vector>

namespace tandrel_sim {

class RegisterMap {
public:
    RegisterMap();
    // Present with a value; does not pin (the meter's own content).
    void define(std::uint16_t address, std::uint16_t value);
    // Present with a value and pinned (set by a test or written by a client).
    void set(std::uint16_t address, std::uint16_t value);
    // Changes a present, unpinned register; leaves pinned and absent ones alone.
    void update(std::uint16_t address, std::uint16_t value);
    // Makes [lo, hi] answer `code` and unpins it.
    void reject(std::uint16_t lo, std::uint16_t hi, int code);

    // 0 when every register of [address, address + count) is present, else the
    // exception code of the first that is not; ranges past 0xFFFF answer 2.
    int check(std::uint16_t address, int count) const;
    std::uint16_t get(std::uint16_t address) const { return values_[address]; }
    bool pinned(std::uint16_t address) const { return pinned_[address] != 0; }

private:
    std::vector<std::uint16_t> values_;
    std::vector<std::uint8_t> codes_;
    std::vector<std::uint8_t> pinned_;
};

}  // namespace tandrel_sim
