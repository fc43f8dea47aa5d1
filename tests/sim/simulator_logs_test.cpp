// File Info and the log file transfer of the simulated meter, driven word by
// word with a bare client. Counts, positions, columns, wrapping sequence
// numbers and the log scenarios are checked with fixed expectations through
// the library in tests/integration.
#include <gtest/gtest.h>

#include <set>

#include "sim/simulator.h"
#include "sim_test_client.h"

using namespace tandrel_sim;
using sim_test::RawClient;
using Words = std::vector<std::uint16_t>;

namespace {

struct Block {
    std::uint16_t count = 0;
    std::uint16_t size = 0;
    std::vector<Words> records;
};

Words file_info(RawClient& c, int file, int variation) {
    c.write(reg::FILE_INFO_REQUEST, {9, static_cast<std::uint16_t>(file), 0, 0, 0,
                                     static_cast<std::uint16_t>(variation), 0, 0});
    c.read(reg::FILE_INFO_STATUS, 8);
    return c.read(reg::FILE_INFO_RESPONSE, variation == 0 ? 14 : 18);
}

Block next_block(RawClient& c, int file) {
    c.write(reg::FILE_COMMAND, {11, static_cast<std::uint16_t>(file), 0, 0, 0, 0});
    const Words h = c.read(reg::BLOCK_HEADER, 8);
    Block b;
    b.count = h[4];
    b.size = h[5];
    if (b.count == 0 || b.size < 8 || b.count * b.size > 65535) return b;
    Words data;
    const int total = b.count * b.size;
    for (int at = 0; at < total; at += 120) {
        const int n = std::min(120, total - at);
        const Words part = c.read(static_cast<std::uint16_t>(reg::BLOCK_DATA + at),
                                  static_cast<std::uint16_t>(n));
        data.insert(data.end(), part.begin(), part.end());
    }
    for (int r = 0; r < b.count; ++r) {
        b.records.emplace_back(data.begin() + r * b.size, data.begin() + (r + 1) * b.size);
    }
    return b;
}

void select_from_start(RawClient& c, int file) {
    c.write(reg::FILE_COMMAND, {5, static_cast<std::uint16_t>(file), 0, 0});
    const Words info = file_info(c, file, 0);
    if (info[10] != info[12]) {
        c.write(reg::FILE_COMMAND, {3, static_cast<std::uint16_t>(file), 0, 0, info[12], 0});
    }
}

// Reads a file to its end as a client should: every block acknowledged.
std::vector<Words> read_all(RawClient& c, int file) {
    select_from_start(c, file);
    std::vector<Words> all;
    for (int guard = 0; guard < 100000; ++guard) {
        const Block b = next_block(c, file);
        c.write_single(reg::FILE_COMMAND, 1);
        if (b.records.empty()) break;
        all.insert(all.end(), b.records.begin(), b.records.end());
    }
    return all;
}

DataLogSetup small_log(int records, int per_block) {
    DataLogSetup s;
    s.point_ids = {4352, 5888};
    s.records = records;
    s.first_time = 1767225600;
    s.interval_s = 60;
    s.records_per_block = per_block;
    s.value = [](int record, int column) { return record * 10 + column; };
    return s;
}

}  // namespace

TEST(SimulatorFileInfo, MissingOrWithheldAnswersAreExceptions) {
    Simulator sim(Model::EM235, SimOptions::deterministic());
    DataLogSetup no_info = small_log(3, 10);
    no_info.file_info = false;
    DataLogSetup no_layout = small_log(3, 10);
    no_layout.layout = false;
    sim.set_datalog(6, no_info);
    sim.set_datalog(7, no_layout);
    sim.start();
    RawClient c(sim.port());
    const auto request = [&](int file, int var) {
        c.write(reg::FILE_INFO_REQUEST, {9, static_cast<std::uint16_t>(file), 0, 0, 0,
                                         static_cast<std::uint16_t>(var), 0, 0});
        return c.exception_of(sim_test::read_pdu(reg::FILE_INFO_RESPONSE, var == 0 ? 14 : 18));
    };
    EXPECT_EQ(request(9, 0), 2);  // no such file
    EXPECT_EQ(request(6, 0), 2);
    EXPECT_EQ(request(6, 2), 0);
    EXPECT_EQ(request(7, 0), 0);
    EXPECT_EQ(request(7, 2), 2);
    EXPECT_EQ(request(7, 1), 2);  // unknown variation
    EXPECT_EQ(c.exception_of(sim_test::write_multiple_pdu(reg::FILE_INFO_REQUEST, {8, 1, 0, 0, 0, 0, 0, 0})), 3);
}

TEST(SimulatorTransfer, ServesTheWholeFileInBlocks) {
    Simulator sim(Model::EM235, SimOptions::deterministic());
    sim.set_datalog(1, small_log(25, 10));
    sim.start();
    RawClient c(sim.port());
    const std::vector<Words> got = read_all(c, 1);
    ASSERT_EQ(got.size(), 25u);
    EXPECT_EQ(got, sim.log_records(1));
    // flags, seq, seconds (low, high), microseconds, trigger, 0, column values low word first
    EXPECT_EQ(got[0], (Words{0, 1, 0xB900, 0x6955, 0, 0, 0, 0, 0, 0, 1, 0}));
    EXPECT_EQ(got[24][0], 0x0001);  // end of file on the last record
    EXPECT_EQ(got[24][1], 25);
    EXPECT_EQ(got[24][8], 240);
}

TEST(SimulatorTransfer, UnacknowledgedBlockComesAgain) {
    Simulator sim(Model::EM235, SimOptions::deterministic());
    sim.set_datalog(1, small_log(25, 10));
    sim.start();
    RawClient c(sim.port());
    select_from_start(c, 1);
    const Block first = next_block(c, 1);
    EXPECT_EQ(next_block(c, 1).records, first.records);
    c.write_single(reg::FILE_COMMAND, 1);
    c.write_single(reg::FILE_COMMAND, 1);  // a second acknowledgement moves nothing
    const Block second = next_block(c, 1);
    ASSERT_EQ(second.count, 10);
    EXPECT_EQ(second.records[0][1], 11);
}

TEST(SimulatorTransfer, FreshSelectionStartsAtTheCurrentPosition) {
    Simulator sim(Model::EM133, SimOptions::deterministic());
    DataLogSetup s = small_log(5, 10);
    s.current_pos = 5;  // the reader left off at the end
    sim.set_datalog(1, s);
    sim.start();
    RawClient c(sim.port());
    c.write(reg::FILE_COMMAND, {5, 1, 0, 0});
    EXPECT_EQ(next_block(c, 1).count, 0);
    c.write(reg::FILE_COMMAND, {3, 1, 0, 0, 0, 0});
    EXPECT_EQ(next_block(c, 1).count, 5);
    EXPECT_EQ(c.exception_of(sim_test::write_multiple_pdu(reg::FILE_COMMAND, {5, 9, 0, 0})), 2);
    EXPECT_EQ(c.exception_of(sim_test::write_multiple_pdu(reg::FILE_COMMAND, {7, 1, 0, 0})), 3);
    EXPECT_EQ(c.exception_of(sim_test::write_single_pdu(reg::FILE_COMMAND, 2)), 3);
}

TEST(SimulatorScenarios, RecordFlagsAreServed) {
    Simulator sim(Model::EM235, SimOptions::deterministic());
    sim.set_datalog(1, small_log(8, 10));
    sim.add_log_scenario(1, LogScenario::record_flags(2, 0x0400));
    sim.add_log_scenario(1, LogScenario::record_flags(4, 0x1000));
    sim.add_log_scenario(1, LogScenario::record_flags(6, 0x0100));
    sim.start();
    RawClient c(sim.port());
    const std::vector<Words> got = read_all(c, 1);
    ASSERT_EQ(got.size(), 8u);
    EXPECT_EQ((Words{got[1][0], got[2][0], got[4][0], got[6][0], got[7][0]}),
              (Words{0, 0x0400, 0x1000, 0x0100, 0x0001}));
}

TEST(SimulatorEventLog, RecordLayout) {
    Simulator sim(Model::EM133, SimOptions::deterministic());
    EventLogSetup s;
    s.events = {{0x5A00, 0x2000, 42, -65535, 1767225600, 123456}};
    s.first_seq = 7;
    sim.set_eventlog(s);
    sim.start();
    RawClient c(sim.port());
    const std::vector<Words> got = read_all(c, 0);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0], (Words{1, 7, 0xB900, 0x6955, 0xE240, 0x0001, 42, 0x5A00, 0x2000, 0, 1, 0xFFFF}));
}

TEST(SimulatorRawLog, RecordsAreServedAsGiven) {
    Simulator sim(Model::EM235, SimOptions::deterministic());
    sim.set_raw_log(3, {{0, 1, 2, 3, 4, 5, 6, 7}, {0x0001, 2, 2, 3, 4, 5, 6, 7}}, 1, {4352});
    sim.start();
    RawClient c(sim.port());
    EXPECT_EQ(file_info(c, 3, 0)[8], 2);
    const std::vector<Words> got = read_all(c, 3);
    EXPECT_EQ(got, (std::vector<Words>{{0, 1, 2, 3, 4, 5, 6, 7}, {1, 2, 2, 3, 4, 5, 6, 7}}));
}

TEST(SimulatorDefaults, PlausibleLogsOnEveryModel) {
    for (Model m : {Model::EM133, Model::EM235}) {
        Simulator sim(m, SimOptions::deterministic());
        sim.start();
        RawClient c(sim.port());
        const int last = m == Model::EM133 ? 3 : 4;
        for (int file = 1; file <= 16; ++file) {
            c.write(reg::FILE_INFO_REQUEST, {9, static_cast<std::uint16_t>(file), 0, 0, 0, 2, 0, 0});
            const int code = c.exception_of(sim_test::read_pdu(reg::FILE_INFO_RESPONSE, 18));
            EXPECT_EQ(code, file <= last ? 0 : 2) << file;
        }
        if (m == Model::EM235) {
            EXPECT_EQ(file_info(c, 4, 2)[1], 16);
        }
        EXPECT_GE(file_info(c, 1, 0)[8], 200);
        const std::vector<Words> events = read_all(c, 0);
        EXPECT_GE(events.size(), 100u);
        std::set<std::uint16_t> sources;
        for (const Words& e : events) sources.insert(e[7]);
        for (std::uint16_t s : {0x031D, 0x5A00, 0x5A3F, 0x6309, 0x5B0F, 0x5B10, 0x0001}) {
            EXPECT_TRUE(sources.count(s)) << s;
        }
    }
}
