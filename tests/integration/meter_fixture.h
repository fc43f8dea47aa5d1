// Shared by the meter integration tests: the simulator on a loopback port,
// the calls' options text and the register reads that went over the wire.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <regex>
#include <string>
#include <vector>

#include "sim/simulator.h"
#include "support/log_capture.h"
#include "tandrel.h"

namespace meter_test {

inline std::string options_for(const tandrel_sim::Simulator& sim) {
    return "{\"port\":" + std::to_string(sim.port()) + ",\"timeout_ms\":2000}";
}

using tandrel::testing::LogCapture;
using tandrel::testing::Logged;

// Checks the shape of the wall-clock time stamp and replaces it by "T".
inline std::string without_timestamp(const std::string& doc) {
    static const std::regex STAMP(
        "\"timestamp\":\"\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}Z\"");
    std::smatch m;
    if (!std::regex_search(doc, m, STAMP)) {
        ADD_FAILURE() << "no time stamp in " << doc;
        return doc;
    }
    return m.prefix().str() + "\"timestamp\":\"T\"" + m.suffix().str();
}

// One register read as the meter saw it.
struct Read {
    std::uint16_t address;
    std::uint16_t count;
    bool operator==(const Read& o) const { return address == o.address && count == o.count; }
};

inline std::ostream& operator<<(std::ostream& os, const Read& r) {
    return os << "read(0x" << std::hex << std::uppercase << r.address << std::dec << ", " << r.count
              << ")";
}

// Every request must be a read; anything else is recorded as address 0xFFFF.
inline std::vector<Read> reads(const tandrel_sim::Simulator& sim) {
    std::vector<Read> out;
    for (const tandrel_sim::Request& r : sim.requests()) {
        out.push_back(r.function == 3 ? Read{r.address, r.count} : Read{0xFFFF, 0});
    }
    return out;
}

// The setup reads of the data scales when the meter answers every one.
inline std::vector<Read> setup_reads(tandrel_sim::Model model) {
    const bool em133 = model == tandrel_sim::Model::EM133;
    std::vector<Read> out;
    if (em133) {
        out = {{0x0901, 1}, {0x0956, 1}, {0x0959, 1}};
    } else {
        out = {{0xB481, 1}, {0xB4B2, 1}};
    }
    const int summaries = em133 ? 12 : 16;
    for (int i = 0; i < summaries; ++i)
        out.push_back({static_cast<std::uint16_t>(0xDD60 + 4 * i), 4});
    return out;
}

inline std::vector<Read> concat(std::vector<Read> a, const std::vector<Read>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Status, output text and error text of one exported call.
struct CallResult {
    int status = 0;
    std::string out;
    std::string err;
};

// Runs call(out, out_len, err, err_len) with generous buffers.
template <typename Call>
CallResult call_with_buffers(Call&& call, int out_len = 64 * 1024) {
    std::vector<char> out(static_cast<size_t>(out_len) + 1, '\x7F');
    out.back() = '\0';
    char err[512];
    CallResult r;
    r.status = call(out.data(), out_len, err, static_cast<int>(sizeof err));
    r.out = out[0] == '\x7F' ? std::string() : std::string(out.data());
    r.err = err;
    return r;
}

// The text of raw / 10^decimals, worked out digit by digit.
inline std::string decimal_text(std::int64_t raw, int decimals) {
    const bool negative = raw < 0;
    std::string digits = std::to_string(negative ? -raw : raw);
    if (decimals > 0) {
        if (digits.size() <= static_cast<size_t>(decimals)) {
            digits.insert(0, static_cast<size_t>(decimals) + 1 - digits.size(), '0');
        }
        digits.insert(digits.size() - static_cast<size_t>(decimals), ".");
    }
    return negative ? "-" + digits : digits;
}

}  // namespace meter_test
