// Log file transfer over the Modbus client. Command block at 0xF690
// (command, file, 0, 0, argument, 0), block header at 0xF6B0 (word 4 =
// record count, word 5 = words per record), block data at 0xF6B8.
#include "logs/log_transfer.h"

#include <stdexcept>
#include <string>

#include "core/log_sink.h"
#include "logs/file_info.h"
#include "modbus/modbus_tcp_client.h"

namespace tandrel {
namespace {

// Record flags, word 0 of every record, tested in this order.
constexpr uint16_t FLAGS_END_READ = 0xEB00;
constexpr uint16_t FLAG_END_BLOCK = 0x1000;
constexpr uint16_t FLAG_SKIP = 0x0400;
constexpr uint16_t FLAG_END_OF_FILE = 0x0001;

// A difference of 0, or 32769 and above, modulo 65536 means "not after".
bool already_delivered(const transfer::State& state, uint16_t seq) {
    if (!state.have_last) return false;
    const uint16_t diff = static_cast<uint16_t>(seq - state.last_seq);
    return diff == 0 || diff >= 32769;
}

class ClientPort {
public:
    explicit ClientPort(ModbusTcpClient& client) : client_(client) {}
    void command(const std::vector<uint16_t>& words) {
        client_.write_multiple_registers(transfer::COMMAND_REGISTER, words);
    }
    void acknowledge() { client_.write_single_register(transfer::COMMAND_REGISTER, 1); }
    std::vector<uint16_t> read(uint16_t address, uint16_t count) {
        return read_words(client_, address, count);
    }

private:
    ModbusTcpClient& client_;
};

}  // namespace

transfer::BlockScan transfer::scan_block(State& state, const std::vector<uint16_t>& words,
                                         int count, int size, int limit,
                                         const RecordCallback& callback) {
    BlockScan scan;
    std::vector<uint16_t> record;
    record.reserve(static_cast<size_t>(size));
    // Records are cut only from words that were received.
    const size_t whole = words.size() / static_cast<size_t>(size);
    const int records = static_cast<size_t>(count) < whole ? count : static_cast<int>(whole);
    for (int i = 0; i < records; ++i) {
        const auto first = words.begin() + static_cast<std::ptrdiff_t>(i) * size;
        const uint16_t flags = first[0], seq = first[1];
        if (flags & FLAGS_END_READ) {
            scan.stop = true;
            break;
        }
        if (flags & FLAG_END_BLOCK) break;
        if ((flags & FLAG_SKIP) || already_delivered(state, seq)) continue;
        record.assign(first, first + size);
        callback(record);
        ++state.delivered;
        state.last_seq = seq;
        state.have_last = true;
        if ((flags & FLAG_END_OF_FILE) || (limit > 0 && state.delivered >= limit)) {
            scan.stop = true;
            break;
        }
        ++scan.fresh;
    }
    return scan;
}

void transfer::throw_block_too_large(int file, int count, int size) {
    throw std::runtime_error("File " + std::to_string(file) + ": block of " +
                             std::to_string(count) + " records of " + std::to_string(size) +
                             " words is too large");
}

void transfer::log_stall(int file, int delivered) {
    log_msg(LogLevel::Warning, "File " + std::to_string(file) +
                                   ": no forward progress, stopping after " +
                                   std::to_string(delivered) + " records");
}

void transfer::log_summary(int file, int delivered, int blocks) {
    // A host without a log callback pays nothing for the summary text.
    if (!log_callback_installed()) return;
    log_msg(LogLevel::Debug, "File " + std::to_string(file) + ": " + std::to_string(delivered) +
                                 " records in " + std::to_string(blocks) + " blocks");
}

int prepare_log_read(ModbusTcpClient& client, int file) {
    const uint16_t file_word = static_cast<uint16_t>(file);
    client.write_multiple_registers(transfer::COMMAND_REGISTER, {5, file_word, 0, 0});
    const FileInfo info = read_file_info(client, file);
    if (!info.valid) {
        log_msg(LogLevel::Warning,
                "File " + std::to_string(file) + ": File Info unavailable, record count unknown");
        return -1;
    }
    if (info.records > 0 && info.current_pos != info.start_pos) {
        client.write_multiple_registers(transfer::COMMAND_REGISTER,
                                        {3, file_word, 0, 0, info.start_pos, 0});
    }
    log_msg(LogLevel::Info,
            "File " + std::to_string(file) + ": " + std::to_string(info.records) + " records");
    return info.records;
}

int read_log_file(ModbusTcpClient& client, int file, int limit, const RecordCallback& callback) {
    ClientPort port(client);
    return transfer::read_blocks(port, file, limit, callback);
}

}  // namespace tandrel
