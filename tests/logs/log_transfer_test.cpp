// The block transfer state machine, driven by a scripted register port: every
// ending condition, repeats, wrap-around, flags, the limit and the messages.
// An oversize block, a stop by the caller and whole records are checked on
// the simulated meter in tests/integration.
#include "logs/log_transfer.h"

#include <gtest/gtest.h>

#include <string>

#include "support/log_capture.h"

namespace tandrel {
namespace {

using Record = std::vector<uint16_t>;

struct Block {
    int count;
    int size;
    std::vector<Record> records;
};

Record rec(uint16_t flags, uint16_t seq, int size = 8) {
    Record r(static_cast<size_t>(size), 0);
    r[0] = flags;
    r[1] = seq;
    r[2] = static_cast<uint16_t>(seq * 7);  // something that travels unchanged
    return r;
}

Block block(std::vector<Record> records) {
    const int size = static_cast<int>(records.front().size());
    return Block{static_cast<int>(records.size()), size, std::move(records)};
}

Block seq_block(uint16_t first, int n, uint16_t last_flags = 0) {
    std::vector<Record> records;
    for (int i = 0; i < n; ++i) records.push_back(rec(0, static_cast<uint16_t>(first + i)));
    records.back()[0] = last_flags;
    return block(std::move(records));
}

const Block EMPTY{0, 8, {}};

// Presents the scripted blocks in turn (an empty header once they run out)
// and writes every register operation into a trace.
class ScriptedPort {
public:
    ScriptedPort(int file, std::vector<Block> blocks) : file_(file), blocks_(std::move(blocks)) {}

    void command(const std::vector<uint16_t>& words) {
        EXPECT_EQ(words, (std::vector<uint16_t>{11, static_cast<uint16_t>(file_), 0, 0, 0, 0}));
        trace.push_back("present");
    }
    void acknowledge() { trace.push_back("ack"); }
    std::vector<uint16_t> read(uint16_t address, uint16_t count) {
        if (address == transfer::HEADER_REGISTER) return header(count);
        EXPECT_EQ(address, transfer::DATA_REGISTER);
        trace.push_back("data " + std::to_string(count));
        std::vector<uint16_t> words;
        for (const Record& r : current_.records) words.insert(words.end(), r.begin(), r.end());
        EXPECT_EQ(words.size(), count);
        return words;
    }

    std::vector<std::string> trace;

private:
    std::vector<uint16_t> header(uint16_t count) {
        EXPECT_EQ(count, 8);
        trace.push_back("header");
        current_ = next_ < blocks_.size() ? blocks_[next_++] : EMPTY;
        std::vector<uint16_t> words(8, 0xAAAA);
        words[4] = static_cast<uint16_t>(current_.count);
        words[5] = static_cast<uint16_t>(current_.size);
        return words;
    }

    int file_;
    std::vector<Block> blocks_;
    size_t next_ = 0;
    Block current_ = EMPTY;
};

using testing::LogCapture;
using testing::Logged;

struct Transfer {
    int returned = 0;
    std::vector<uint16_t> seqs;  // sequence numbers delivered, in order
    std::vector<std::string> trace;
};

Transfer run(std::vector<Block> blocks, int limit = -1, int max_blocks = transfer::MAX_BLOCKS) {
    ScriptedPort port(3, std::move(blocks));
    Transfer r;
    r.returned = transfer::read_blocks(
        port, 3, limit, [&](const Record& words) { r.seqs.push_back(words[1]); }, max_blocks);
    r.trace = port.trace;
    return r;
}

using Trace = std::vector<std::string>;
const Trace ONE_BLOCK_40 = {"present", "header", "data 40", "ack"};
const Trace TWO_EMPTY = {"present", "header", "ack", "present", "header"};

struct EndingCase {
    const char* what;
    std::vector<Block> blocks;
    int limit;
    int returned;
    Trace trace;
};

// Where a read ends, and which register operations it took to get there.
const EndingCase ENDING_CASES[] = {
    {"limit zero touches no register", {seq_block(1, 5, 0x0001)}, 0, 0, {}},
    {"end-of-file flag ends after its record", {seq_block(1, 5, 0x0001), seq_block(6, 5)}, -1, 5,
     ONE_BLOCK_40},
    {"limit inside a block still acknowledges", {seq_block(1, 5)}, 3, 3, ONE_BLOCK_40},
    {"two empty headers in a row end the read", {EMPTY, EMPTY, seq_block(1, 5)}, -1, 0, TWO_EMPTY},
    {"records shorter than eight words make a header empty", {Block{5, 7, {}}, Block{3, 0, {}}},
     -1, 0, TWO_EMPTY},
};

TEST(ReadLogFile, EndsWhereTheFlagsTheLimitOrEmptyHeadersSay) {
    for (const EndingCase& c : ENDING_CASES) {
        const Transfer r = run(c.blocks, c.limit);
        EXPECT_EQ(r.returned, c.returned) << c.what;
        EXPECT_EQ(r.seqs.size(), static_cast<size_t>(c.returned)) << c.what;
        EXPECT_EQ(r.trace, c.trace) << c.what;
    }
}

TEST(ReadLogFile, LimitAcrossBlocks) {
    const Transfer r = run({seq_block(1, 5), seq_block(6, 5), seq_block(11, 5)}, 7);
    EXPECT_EQ(r.returned, 7);
    EXPECT_EQ(r.trace.size(), 8u);  // two blocks, each acknowledged
}

TEST(ReadLogFile, BlockPresentedThreeTimesStallsWithWarning) {
    LogCapture log;
    const Transfer r = run({seq_block(1, 5), seq_block(1, 5), seq_block(1, 5), seq_block(6, 5)});
    EXPECT_EQ(r.returned, 5);
    EXPECT_EQ(r.trace, (Trace{"present", "header", "data 40", "ack", "present", "header",
                              "data 40", "ack", "present", "header", "data 40"}));
    EXPECT_EQ(log.at_levels({0, 1, 2, 3}),
              (std::vector<Logged>{{1, "File 3: no forward progress, stopping after 5 records"},
                                   {3, "File 3: 5 records in 3 blocks"}}));
}

struct DeliveryCase {
    const char* what;
    std::vector<Block> blocks;
    std::vector<uint16_t> seqs;
};

// Which records reach the caller: repeats, wrap-around and the skipping flags.
const DeliveryCase DELIVERY_CASES[] = {
    {"repeated records dropped, new ones delivered",
     {seq_block(1, 5), seq_block(4, 5, 0x0001)}, {1, 2, 3, 4, 5, 6, 7, 8}},
    {"empty headers apart do not end the read",
     {EMPTY, seq_block(1, 2), EMPTY, seq_block(3, 2, 0x0001)}, {1, 2, 3, 4}},
    {"sequence numbers wrap around",
     {block({rec(0, 65534), rec(0, 65535), rec(0, 0), rec(0x0001, 1)})}, {65534, 65535, 0, 1}},
    // 32769 after 0 reads as older; 32768 is new; 0 after 32768 is new again.
    {"half the sequence space ahead is new, beyond is old",
     {block({rec(0, 0), rec(0, 32769), rec(0, 32768), rec(0, 0), rec(0x1, 1)})}, {0, 32768, 0, 1}},
    {"skip flag drops only that record",
     {block({rec(0, 1), rec(0x0400, 2), rec(0, 3), rec(0x0001, 4)})}, {1, 3, 4}},
    // 9 skipped by flag, so 5 after 4 is still new.
    {"a skipped record does not advance the sequence",
     {block({rec(0, 4), rec(0x0400, 9), rec(0x0001, 5)})}, {4, 5}},
    {"end-of-block flag skips the rest but goes on",
     {block({rec(0, 1), rec(0x1000, 2), rec(0, 3)}), seq_block(3, 2, 0x0001)}, {1, 3, 4}},
};

TEST(ReadLogFile, DeliversEachNewRecordOnce) {
    for (const DeliveryCase& c : DELIVERY_CASES) {
        const Transfer r = run(c.blocks);
        EXPECT_EQ(r.seqs, c.seqs) << c.what;
        EXPECT_EQ(r.returned, static_cast<int>(c.seqs.size())) << c.what;
    }
}

TEST(ReadLogFile, EndingFlagsStopAfterTheBlockIsAcknowledged) {
    for (const uint16_t flag : {0x0100, 0x0200, 0x0800, 0x2000, 0x4000, 0x8000}) {
        const Transfer r = run({block({rec(0, 1), rec(flag, 2), rec(0, 3)}), seq_block(4, 2)});
        EXPECT_EQ(r.seqs, (std::vector<uint16_t>{1})) << flag;
        EXPECT_EQ(r.trace, (Trace{"present", "header", "data 24", "ack"})) << flag;
    }
}

TEST(ReadLogFile, EndOfBlockFirstCountsAsStall) {
    const Transfer r = run({seq_block(1, 2), block({rec(0x1000, 3)}), block({rec(0x1000, 3)})});
    EXPECT_EQ(r.returned, 2);
    EXPECT_EQ(r.trace.size(), 4u + 4u + 3u);  // the second stall is not acknowledged
}

TEST(ReadLogFile, BlockBoundStopsTheRead) {
    LogCapture log;
    const Transfer r = run({seq_block(1, 2), seq_block(3, 2), seq_block(5, 2), seq_block(7, 2)}, -1, 3);
    EXPECT_EQ(r.returned, 6);
    EXPECT_EQ(r.trace.size(), 12u);
    EXPECT_EQ(log.at_levels({3}).back(), (Logged{3, "File 3: 6 records in 4 blocks"}));
}

}  // namespace
}  // namespace tandrel
