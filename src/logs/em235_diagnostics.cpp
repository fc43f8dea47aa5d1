// Diagnostics export: one read on a connection with the default settings
// (port 502, unit 1, 30 s) addressed to the caller's unit, then one file.
// Nothing in the file is quoted.
#include "logs/em235_diagnostics.h"

#include <stdexcept>
#include <vector>

#include "core/call_frame.h"
#include "core/hex_text.h"
#include "core/options.h"
#include "logs/csv_file.h"
#include "modbus/modbus_tcp_client.h"

namespace tandrel {
namespace {

constexpr int DIAGNOSTIC_BITS = 26;

}  // namespace

const std::map<int, std::string>& bit_labels() {
    static const std::map<int, std::string> LABELS = {
        {0, "Critical error"},
        {1, "Permanent fault (critical error)"},
        {2, "RAM/Data error"},
        {3, "CPU watchdog reset"},
        {4, "DSP/Sampling fault"},
        {5, "CPU exception"},
        {7, "Software watchdog reset"},
        {8, "Power down"},
        {9, "Device reset"},
        {10, "Configuration reset"},
        {11, "RTC fault (critical error)"},
        {12, "Configuration fault (critical error)"},
        {13, "Low battery"},
        {14, "Expanded memory fault"},
        {15, "CPU EEPROM fault"},
        {16, "AC board EEPROM fault"},
        {17, "I/O board EEPROM fault"},
        {20, "C Library error"},
        {21, "RTOS Kernel error"},
        {22, "Task error"},
        {24, "IRIG-B signal lost"},
        {25, "IRIG-B time unlocked"},
    };
    return LABELS;
}

uint32_t diagnostics_value(uint16_t word0, uint16_t word1, const std::string& word_order) {
    if (word_order == "HI_FIRST") return (static_cast<uint32_t>(word1) << 16) | word0;
    return (static_cast<uint32_t>(word0) << 16) | word1;
}

std::string diagnostics_csv(uint16_t word0, uint16_t word1, const std::string& word_order) {
    const uint32_t value = diagnostics_value(word0, word1, word_order);
    std::string out = "word0_hex,word1_hex,value_hex,word_order\n";
    out += hex_text(word0, 1) + ',' + hex_text(word1, 1) + ',' + hex_text(value, 1) + ',' + word_order;
    out += "\n\nbit,label,state\n";
    const auto& labels = bit_labels();
    for (int bit = 0; bit < DIAGNOSTIC_BITS; ++bit) {
        const auto label = labels.find(bit);
        out += std::to_string(bit);
        out += ',';
        if (label != labels.end()) out += label->second;
        out += ((value >> bit) & 1u) != 0 ? ",1\n" : ",0\n";
    }
    return out;
}

int export_em235_diagnostics_impl(const char* host, int unit_id, int register_no, int count,
                                  const char* word_order, const char* csv_path) {
    require_non_null({{host, "host"}, {word_order, "word_order"}, {csv_path, "csv_path"}});
    if (count < 2) throw std::runtime_error("count must be >= 2 for 32-bit diagnostics");
    ModbusTcpClient client(host, Options{});
    client.connect();
    // Register numbers count from 1; the subtraction is done in unsigned
    // arithmetic, which cannot overflow, and keeps the same low 16 bits.
    const auto address = static_cast<uint16_t>(static_cast<unsigned>(register_no) - 1u);
    const std::vector<uint16_t> words = client.read_holding_registers(
        address, static_cast<uint16_t>(count), unit_id & 0xFF);
    if (words.size() < 2) throw std::runtime_error("diagnostics read failed");
    CsvFile out = open_csv(csv_path);
    out.write(diagnostics_csv(words[0], words[1], word_order));
    out.close();
    return DIAGNOSTIC_BITS;
}

}  // namespace tandrel
