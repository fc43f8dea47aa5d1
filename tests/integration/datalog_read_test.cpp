// tandrel_read_datalog against the simulated meter: every object of
// realistic logs, the request sequence, cancellation and the failures a
// caller sees; the transfer endings themselves are unit-tested in tests/logs.
#include "log_fixture.h"

namespace log_test {
namespace {

using tandrel_sim::LogScenario;

using tandrel::testing::LogCapture;

class DatalogRead : public LogSim {
protected:
    int read(int file, Collected& out) {
        return tandrel_read_datalog("127.0.0.1", "em235", file, options.c_str(), collect, &out,
                                    err, sizeof err);
    }

    std::string header(int file, int total, const std::vector<tandrel::ColumnFormat>& f) {
        return "{\"type\":\"header\",\"meter\":\"em235\",\"host\":\"127.0.0.1\",\"file_id\":" +
               std::to_string(file) + ",\"total\":" + std::to_string(total) + "," +
               columns_json(f) + "}";
    }

    static std::string record(int no, const Record& r, const std::vector<tandrel::ColumnFormat>& f) {
        std::string text = "{\"type\":\"record\",\"no\":" + std::to_string(no) +
                           ",\"seq\":" + std::to_string(r[1]) + ",\"timestamp\":\"" + ref_iso(r) +
                           "\",\"trigger\":\"" + ref_trigger(r[6]) + "\",\"values\":[";
        const std::vector<std::string> v = values(r, f);
        for (size_t i = 0; i < v.size(); ++i) text += (i ? "," : "") + v[i];
        return text + "]}";
    }

    // Every object of a whole read, compared one by one.
    void expect_whole_log(int file, int total, const std::vector<uint16_t>& ids, size_t columns) {
        const std::vector<tandrel::ColumnFormat> f = formats(ids, columns);
        const std::vector<Record> served = sim->log_records(file);
        Collected out;
        ASSERT_EQ(read(file, out), static_cast<int>(served.size())) << err;
        EXPECT_STREQ(err, "");
        ASSERT_EQ(out.lines.size(), served.size() + 1);
        EXPECT_EQ(out.lines[0], header(file, total, f));
        for (size_t i = 0; i < served.size(); ++i) {
            ASSERT_EQ(out.lines[i + 1], record(static_cast<int>(i) + 1, served[i], f)) << i;
        }
    }
};

const std::vector<uint16_t> EIGHT_POINTS = {4352, 4353, 4354, 4355, 4356, 4357, 5120, 5123};
const std::vector<uint16_t> SIXTEEN_POINTS = {4352, 4353, 4354, 4355, 4356, 4357, 4358, 4359,
                                              4360, 5120, 5121, 5122, 5123, 3843, 5378, 0xF00D};

TEST_F(DatalogRead, RealisticLogOfEightColumnsInManyBlocks) {
    sim->set_raw_log(1, raw_records(300, 8), 10, EIGHT_POINTS);
    expect_whole_log(1, 300, EIGHT_POINTS, 8);
}

TEST_F(DatalogRead, SixteenColumnsAndSequenceNumbersThatWrap) {
    sim->set_raw_log(2, raw_records(420, 16, 65300), 50, SIXTEEN_POINTS);
    expect_whole_log(2, 420, SIXTEEN_POINTS, 16);
}

TEST_F(DatalogRead, SimulatorsOwnValuesForItsPoints) {
    tandrel_sim::DataLogSetup log_setup;
    log_setup.point_ids = {4352, 3843, 5378, 5888};
    log_setup.records = 137;
    log_setup.records_per_block = 12;
    log_setup.trigger = 3;
    sim->set_datalog(16, log_setup);
    expect_whole_log(16, 137, log_setup.point_ids, 4);
}

TEST_F(DatalogRead, LogWithoutPointIdsNamesColumnsFromTheFirstRecord) {
    sim->set_raw_log(3, raw_records(45, 5), 20);
    tandrel_sim::FileInfoSetup info;
    info.layout = false;
    info.eof_flag = false;
    info.records_per_block = 20;
    sim->set_file_info(3, info);
    expect_whole_log(3, 45, {}, 5);
}

TEST_F(DatalogRead, EmptyLogDeliversOnlyTheHeaderAndRequestsNoBlock) {
    tandrel_sim::DataLogSetup log_setup;
    log_setup.point_ids = {4352, 4353};
    sim->set_datalog(4, log_setup);
    const auto f = formats(log_setup.point_ids, 2);
    Collected out;
    EXPECT_EQ(read(4, out), 0) << err;
    EXPECT_EQ(out.lines, std::vector<std::string>{header(4, 0, f)});
    EXPECT_EQ(commands(11), 0);
}

TEST_F(DatalogRead, UnknownCountReadsToTheEnd) {
    LogCapture log;
    sim->set_raw_log(5, raw_records(77, 3), 10, {4352, 4353, 4354});
    tandrel_sim::FileInfoSetup info;
    info.file_info = false;
    info.eof_flag = false;
    sim->set_file_info(5, info);
    expect_whole_log(5, -1, {4352, 4353, 4354}, 3);
    EXPECT_TRUE(log.has({1, "File 5: File Info unavailable, record count unknown"}));
}

TEST_F(DatalogRead, RequestSequenceOfATwoBlockRead) {
    sim->set_raw_log(6, raw_records(15, 2), 10, {4352, 4353});
    formats({}, 0);  // the setup reads, then a clean request log
    Collected out;
    ASSERT_EQ(read(6, out), 15) << err;
    using tandrel_sim::reg::FILE_COMMAND;
    std::vector<std::string> seen;
    for (const tandrel_sim::Request& r : sim->requests()) {
        if (r.address < FILE_COMMAND) continue;  // setup values
        std::string s = std::to_string(r.function) + "@" + std::to_string(r.address) + ":" +
                        std::to_string(r.count);
        if (r.function != 3) {
            for (uint16_t v : r.values) s += " " + std::to_string(v);
        }
        seen.push_back(s);
    }
    const std::vector<std::string> expected = {
        "16@64944:8 9 6 0 0 0 2 0 0", "3@64952:8", "3@64960:18",   // File Info variation 2
        "16@63120:4 5 6 0 0",                                      // select
        "16@64944:8 9 6 0 0 0 0 0 0", "3@64952:8", "3@64960:14",   // File Info variation 0
        "16@63120:6 11 6 0 0 0 0", "3@63152:8", "3@63160:120", "6@63120:1 1",  // block 1
        "16@63120:6 11 6 0 0 0 0", "3@63152:8", "3@63160:60", "6@63120:1 1",   // block 2
    };
    EXPECT_EQ(seen, expected);
}

TEST_F(DatalogRead, ReadPositionMovesOnlyWhenItDiffers) {
    for (const int current : {-1, 7}) {
        sim->set_raw_log(7, raw_records(12, 1), 10, {4352});
        tandrel_sim::FileInfoSetup info;
        info.start_pos = 3;
        info.current_pos = current;
        info.eof_flag = false;
        sim->set_file_info(7, info);
        sim->clear_requests();
        Collected out;
        ASSERT_EQ(read(7, out), 12) << err;
        EXPECT_EQ(commands(3), current == -1 ? 0 : 1) << current;
        for (const tandrel_sim::Request& r : sim->requests()) {
            if (r.function == 16 && !r.values.empty() && r.values[0] == 3) {
                EXPECT_EQ(r.values, (std::vector<uint16_t>{3, 7, 0, 0, 3, 0}));
            }
        }
    }
}

TEST_F(DatalogRead, RepeatedBlocksAndEmptyHeadersLoseNothing) {
    LogCapture log;
    sim->set_raw_log(8, raw_records(60, 2), 10, {4352, 4353});
    sim->add_log_scenario(8, LogScenario::repeat_block(2, 1));
    sim->add_log_scenario(8, LogScenario::empty_header(4, 1));
    expect_whole_log(8, 60, {4352, 4353}, 2);
    EXPECT_TRUE(log.has({2, "File 8: 60 records"}));
    EXPECT_TRUE(log.has({3, "File 8: 60 records in 8 blocks"}));
}

TEST_F(DatalogRead, OversizeBlockFailsAfterWhatWasDelivered) {
    sim->set_raw_log(12, raw_records(30, 2), 10, {4352, 4353});
    sim->add_log_scenario(12, LogScenario::oversize_header(2));
    Collected out;
    EXPECT_EQ(read(12, out), -1);
    EXPECT_STREQ(err, "File 12: block of 7000 records of 10 words is too large");
    EXPECT_EQ(out.lines.size(), 11u);
    EXPECT_EQ(acknowledgements(), 1);
}

// Block data is read from 0xF6B8 on: 2376 words reach 0xFFFF exactly; one
// more would wrap around to register 0, so that block fails before its read.
TEST_F(DatalogRead, BlockMustFitBelowTheEndOfTheRegisterSpace) {
    for (const int words : {2376, 2377}) {
        SCOPED_TRACE(words);
        Record big(static_cast<size_t>(words), 0);
        big[0] = 0x0001;  // the last record
        big[1] = 1;
        big[8] = 42;
        sim->set_raw_log(9, {big}, 1, {4352});
        sim->clear_requests();
        Collected out;
        const int status = read(9, out);
        int block_words_read = 0;  // read after the block header
        bool header_read = false;
        for (const tandrel_sim::Request& r : sim->requests()) {
            if (r.function != 3) continue;
            if (r.address == 0xF6B0) header_read = true;
            if (header_read && r.address >= 0xF6B8) block_words_read += r.count;
        }
        if (words == 2376) {
            EXPECT_EQ(status, 1) << err;
            EXPECT_EQ(block_words_read, 2376);
            EXPECT_EQ(acknowledgements(), 1);
        } else {
            EXPECT_EQ(status, -1);
            EXPECT_STREQ(err, "File 9: block of 1 records of 2377 words is too large");
            EXPECT_EQ(block_words_read, 0);
            EXPECT_EQ(acknowledgements(), 0);
        }
    }
}

// At the header (object 1: the first block is presented, never acknowledged),
// the first record (object 2) and one in the second block (object 14).
TEST_F(DatalogRead, StopKeepsWhatWasDelivered) {
    for (const size_t stop_at : {size_t{1}, size_t{2}, size_t{14}}) {
        sim->set_raw_log(1, raw_records(30, 2), 10, {4352, 4353});
        const auto f = formats({4352, 4353}, 2);
        Collected out;
        out.stop_at = stop_at;
        EXPECT_EQ(read(1, out), -2);
        EXPECT_STREQ(err, "Cancelled by caller");
        ASSERT_EQ(out.lines.size(), stop_at);
        EXPECT_EQ(out.lines[0], header(1, 30, f));
        if (stop_at > 1) {
            EXPECT_EQ(out.lines.back(), record(static_cast<int>(stop_at) - 1,
                                               sim->log_records(1)[stop_at - 2], f));
        }
        EXPECT_EQ(commands(11), stop_at > 11 ? 2 : 1);
        EXPECT_EQ(acknowledgements(), stop_at > 11 ? 1 : 0);
    }
}

}  // namespace
}  // namespace log_test
