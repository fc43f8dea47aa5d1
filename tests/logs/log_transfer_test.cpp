// The block transfer state machine, driven by a scripted register port
// against its table in tests/data/logs: every ending condition, repeats,
// wrap-around, flags, the block bound and the messages. An oversize block, a
// stop by the caller, whole records and the registers and words of each
// operation are checked on the simulated meter in tests/integration.
#include "logs/log_transfer.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "support/case_file.h"
#include "support/log_capture.h"

namespace tandrel {
namespace {

using testing::LogCapture;
using testing::Logged;
using testing::number;

struct Block {
    uint16_t count = 0, size = 8;
    std::vector<uint16_t> words;
};

// The notation of transfers.txt.
std::vector<Block> blocks_of(const std::string& text) {
    std::vector<Block> blocks;
    std::istringstream in(text);
    for (std::string item; std::getline(in, item, ';');) {
        Block b;
        std::istringstream records(item);
        for (std::string r; records >> r && r != "-";) {
            if (r[0] == '=') {
                b = Block{static_cast<uint16_t>(number(r.substr(1))),
                          static_cast<uint16_t>(number(r.substr(r.find('x') + 1))),
                          {}};
                continue;
            }
            const size_t slash = r.find('/');
            const long long flags = slash == std::string::npos ? 0 : number(r.substr(slash + 1));
            b.words.insert(b.words.end(), {static_cast<uint16_t>(flags),
                                           static_cast<uint16_t>(number(r)), 0, 0, 0, 0, 0, 0});
            ++b.count;
        }
        blocks.push_back(b);
    }
    return blocks;
}

// Presents the blocks in turn, then empty headers, and traces every operation.
struct ScriptedPort {
    explicit ScriptedPort(std::vector<Block> script = {}) : blocks(std::move(script)) {}
    std::vector<Block> blocks;
    size_t next = 0;
    Block current;
    std::string trace;

    void note(const std::string& op) { trace += (trace.empty() ? "" : " ") + op; }
    void command(const std::vector<uint16_t>&) { note("P"); }
    void acknowledge() { note("A"); }
    std::vector<uint16_t> read(uint16_t address, uint16_t count) {
        if (address != transfer::HEADER_REGISTER) {
            note("D" + std::to_string(count));
            return current.words;
        }
        note("H");
        current = next < blocks.size() ? blocks[next++] : Block{};
        return {0xAAAA, 0xAAAA, 0xAAAA, 0xAAAA, current.count, current.size, 0xAAAA, 0xAAAA};
    }
};

TEST(ReadLogFile, Table) {
    for (const testing::Case& c : testing::read_cases("logs/transfers.txt")) {
        ScriptedPort port(blocks_of(c[0]));
        std::string seqs;
        const int returned = transfer::read_blocks(
            port, 3, static_cast<int>(number(c[1])), [&](const std::vector<uint16_t>& w) {
                seqs += (seqs.empty() ? "" : " ") + std::to_string(w[1]);
            });
        EXPECT_EQ(seqs, c[2]) << c.where;
        EXPECT_EQ(returned, static_cast<int>(testing::numbers(c[2]).size())) << c.where;
        EXPECT_EQ(port.trace, c[3]) << c.where;
    }
}

TEST(ReadLogFile, AStallIsWarnedAboutAndEveryReadSummed) {
    LogCapture log;
    ScriptedPort port(blocks_of("1 2 3 4 5; 1 2 3 4 5; 1 2 3 4 5"));
    transfer::read_blocks(port, 3, -1, [](const std::vector<uint16_t>&) {});
    EXPECT_EQ(log.at_levels({0, 1, 2, 3}),
              (std::vector<Logged>{{1, "File 3: no forward progress, stopping after 5 records"},
                                   {3, "File 3: 5 records in 3 blocks"}}));
}

TEST(ReadLogFile, StopsAfter70000Blocks) {
    LogCapture log;
    ScriptedPort port;
    for (int seq = 1; seq <= 70002; ++seq) port.blocks.push_back(blocks_of(std::to_string(seq))[0]);
    EXPECT_EQ(transfer::read_blocks(port, 3, -1, [](const std::vector<uint16_t>&) {}), 70000);
    EXPECT_EQ(log.at_levels({0, 1, 2, 3}),
              (std::vector<Logged>{{3, "File 3: 70000 records in 70001 blocks"}}));
}

}  // namespace
}  // namespace tandrel
