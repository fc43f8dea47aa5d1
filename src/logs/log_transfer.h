// Block-wise transfer of a log file through the meter's file-transfer
// registers: select, present a block, read its header and records, hand every
// new record to a callback, acknowledge, until the file is exhausted.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace tandrel {

class ModbusTcpClient;

// One record's words (at least 8), valid only during the call. May throw; the
// exception leaves the transfer at once and the block is not acknowledged.
using RecordCallback = std::function<void(const std::vector<uint16_t>&)>;

// Selects the file, reads its count and rewinds it when needed. Returns the
// record count, or -1 when File Info is unavailable.
int prepare_log_read(ModbusTcpClient& client, int file);

// Delivers the file's new records in order; returns how many. limit > 0 stops
// after that many, limit < 0 reads to the end, limit 0 touches nothing.
int read_log_file(ModbusTcpClient& client, int file, int limit, const RecordCallback& callback);

namespace transfer {

constexpr uint16_t COMMAND_REGISTER = 0xF690;
constexpr uint16_t HEADER_REGISTER = 0xF6B0;
constexpr uint16_t DATA_REGISTER = 0xF6B8;
constexpr int MAX_BLOCKS = 70000;
// A block is read from DATA_REGISTER on; more words than lie between it and
// the end of the register space would wrap around to register 0.
constexpr int64_t MAX_BLOCK_WORDS = 0x10000 - DATA_REGISTER;

// Progress of one read across blocks.
struct State {
    int delivered = 0;
    bool have_last = false;
    uint16_t last_seq = 0;
};

struct BlockScan {
    int fresh = 0;      // records delivered without ending the read
    bool stop = false;  // end of file, limit reached or an ending flag
};

// Scans one block's records (count x size words) in order: the flag rules,
// the repeat test with 16-bit wrap-around and the limit. Pure but for the callback.
BlockScan scan_block(State& state, const std::vector<uint16_t>& words, int count, int size,
                     int limit, const RecordCallback& callback);

// The whole loop over any register port offering command(words),
// acknowledge() and read(address, count); the library uses the Modbus client.
template <typename Port>
int read_blocks(Port& port, int file, int limit, const RecordCallback& callback,
                int max_blocks = MAX_BLOCKS);

[[noreturn]] void throw_block_too_large(int file, int count, int size);
void log_stall(int file, int delivered);
void log_summary(int file, int delivered, int blocks);

}  // namespace transfer

template <typename Port>
int transfer::read_blocks(Port& port, int file, int limit, const RecordCallback& callback,
                          int max_blocks) {
    if (limit == 0) return 0;
    const uint16_t file_word = static_cast<uint16_t>(file);
    State state;
    int blocks = 1, empty_streak = 0, stall_streak = 0;
    for (;;) {
        port.command({11, file_word, 0, 0, 0, 0});
        const std::vector<uint16_t> header = port.read(HEADER_REGISTER, 8);
        const int count = header[4], size = header[5];
        if (count == 0 || size < 8) {
            if (++empty_streak == 2) break;
            port.acknowledge();
        } else {
            // A block that does not fit below the end of the register space
            // cannot be read whole; a cut-short or wrapped read would pass
            // for a complete log, so the call fails instead.
            if (static_cast<int64_t>(count) * size > MAX_BLOCK_WORDS) {
                throw_block_too_large(file, count, size);
            }
            const std::vector<uint16_t> words =
                port.read(DATA_REGISTER, static_cast<uint16_t>(count * size));
            const BlockScan scan = scan_block(state, words, count, size, limit, callback);
            if (!scan.stop) {
                stall_streak = scan.fresh == 0 ? stall_streak + 1 : 0;
                if (stall_streak > 1) {
                    log_stall(file, state.delivered);
                    break;
                }
            }
            port.acknowledge();
            if (scan.stop) break;
            empty_streak = 0;
        }
        if (++blocks > max_blocks) break;
    }
    log_summary(file, state.delivered, blocks);
    return state.delivered;
}

}  // namespace tandrel
