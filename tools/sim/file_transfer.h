// The meter side of the log file transfer and of File Info, per connection.
//
// File transfer, commands written at 0xF690: 5 (select a file: the read
// position goes to the file's current position), 3 (move the read position
// to word 4), 11 (present the next block: an 8-word header at 0xF6B0, word 4
// count and word 5 record size, then the records at 0xF6B8); the single value
// 1 acknowledges the presented block and moves past it. A block requested
// again without acknowledgement is the same block.
//
// File Info: 8 words written at 0xFDB0 (9, file, 0, 0, 0, variation, 0, 0);
// 8 status words at 0xFDB8; the answer at 0xFDC0: variation 0 gives 14 words
// (word 8 record count, word 10 current and word 12 start position),
// variation 2 gives 18 words (word 1 column count, words 2.. point ids).
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <vector>

#include "log_store.h"

namespace tandrel_sim {

struct Cursor {
    std::uint32_t generation = 0;
    std::size_t index = 0;   // next record to present
    int presentations = 0;   // blocks requested since the file was selected
};

struct TransferState {
    std::map<int, Cursor> cursors;
    int block_file = -1;
    int block_presentation = 0;
    std::size_t block_records = 0;  // records the acknowledgement moves past
    bool block_acknowledged = true;
    std::vector<std::uint16_t> region = std::vector<std::uint16_t>(8, 0);  // header + data
    std::array<std::uint16_t, 16> info_words{};  // request and status
    bool info_ok = false;
    std::vector<std::uint16_t> info_response;
};

// Writes; each returns 0 or a Modbus exception code.
int transfer_command(const LogMap& logs, TransferState& st, const std::vector<std::uint16_t>& words);
int transfer_acknowledge(const LogMap& logs, TransferState& st, std::uint16_t value);
int file_info_request(const LogMap& logs, TransferState& st, const std::vector<std::uint16_t>& words);

// Reads. -1: the address is not in that area; else 0 (words filled) or an exception code.
int transfer_read(const TransferState& st, std::uint16_t address, int count,
                  std::vector<std::uint16_t>& out);
int file_info_read(const TransferState& st, std::uint16_t address, int count,
                   std::vector<std::uint16_t>& out);

}  // namespace tandrel_sim
