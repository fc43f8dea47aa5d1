// tandrel_export_datalog(_ex) against the simulated meter: every CSV byte of
// realistic logs, progress, cancellation and the write-failure mend.
#include "log_fixture.h"

namespace log_test {
namespace {

class DatalogExport : public LogSim {
protected:
    int export_to(int file, const std::string& path, Progress* progress = nullptr) {
        return tandrel_export_datalog_ex("127.0.0.1", "em235", file, path.c_str(),
                                         options.c_str(), progress ? on_progress : nullptr,
                                         progress, err, sizeof err);
    }

    static std::string title(const std::vector<tandrel::ColumnFormat>& f) {
        std::string line = "No.,Date/Time,Trigger";
        for (const tandrel::ColumnFormat& c : f) line += "," + c.header;
        return line + "\n";
    }

    static std::string line(int no, const Record& r, const std::vector<tandrel::ColumnFormat>& f) {
        std::string text = std::to_string(no) + "," + ref_hmi(r) + "," + ref_trigger(r[6]);
        for (const std::string& v : values(r, f)) text += "," + v;
        return text + "\n";
    }

    std::string expected_csv(int file, const std::vector<uint16_t>& ids, size_t columns,
                             size_t records) {
        const std::vector<tandrel::ColumnFormat> f = formats(ids, columns);
        const std::vector<Record> served = sim->log_records(file);
        std::string csv = f.empty() && records == 0 ? "" : title(f);
        for (size_t i = 0; i < records; ++i) csv += line(static_cast<int>(i) + 1, served[i], f);
        return csv;
    }

    static std::vector<std::pair<int, int>> counts(int n, int total) {
        std::vector<std::pair<int, int>> calls;
        for (int i = 1; i <= n; ++i) calls.emplace_back(i, total);
        return calls;
    }

    TempDir dir;
};

const std::vector<uint16_t> EIGHT_POINTS = {4352, 4353, 4354, 4355, 4356, 4357, 5120, 5123};

TEST_F(DatalogExport, RealisticLogEveryByteAndEveryProgressCall) {
    sim->set_raw_log(1, raw_records(300, 8), 10, EIGHT_POINTS);
    const std::string expected = expected_csv(1, EIGHT_POINTS, 8, 300);
    const std::string path = dir.file("dl1.csv");
    Progress progress;
    ASSERT_EQ(export_to(1, path, &progress), 300) << err;
    EXPECT_STREQ(err, "");
    EXPECT_EQ(file_bytes(path), expected);
    EXPECT_EQ(progress.calls, counts(300, 300));
}

TEST_F(DatalogExport, NoPointIdsGivesParamHeadersFromTheFirstRecord) {
    sim->set_raw_log(3, raw_records(33, 4), 10);
    tandrel_sim::FileInfoSetup info;
    info.layout = false;
    info.eof_flag = false;
    sim->set_file_info(3, info);
    const std::string expected = expected_csv(3, {}, 4, 33);
    EXPECT_EQ(expected.substr(0, 54), "No.,Date/Time,Trigger,Param_1,Param_2,Param_3,Param_4\n");
    const std::string path = dir.file("dl3.csv");
    ASSERT_EQ(export_to(3, path), 33) << err;
    EXPECT_EQ(file_bytes(path), expected);
}

TEST_F(DatalogExport, UnknownCountReportsMinusOneTotal) {
    sim->set_raw_log(4, raw_records(25, 2), 10, {4352, 4353});
    tandrel_sim::FileInfoSetup info;
    info.file_info = false;
    info.eof_flag = false;
    sim->set_file_info(4, info);
    const std::string expected = expected_csv(4, {4352, 4353}, 2, 25);
    Progress progress;
    const std::string path = dir.file("dl4.csv");
    ASSERT_EQ(export_to(4, path, &progress), 25) << err;
    EXPECT_EQ(file_bytes(path), expected);
    EXPECT_EQ(progress.calls, counts(25, -1));
}

// An old file is replaced: by the title when the log names its columns, by
// nothing when it names none.
TEST_F(DatalogExport, EmptyLogWritesOnlyTheTitleIfItHasColumns) {
    for (const bool layout : {true, false}) {
        tandrel_sim::DataLogSetup log_setup;
        log_setup.point_ids = {4352, 3843};
        log_setup.layout = layout;
        sim->set_datalog(5, log_setup);
        const std::string expected = layout ? title(formats(log_setup.point_ids, 2)) : "";
        Progress progress;
        const std::string path = dir.file(layout ? "dl5.csv" : "dl6.csv");
        std::ofstream(path, std::ios::binary) << "old content that must go\n";
        ASSERT_EQ(export_to(5, path, &progress), 0) << err;
        EXPECT_EQ(file_bytes(path), expected) << layout;
        EXPECT_TRUE(progress.calls.empty());
    }
}

// At the first record (nothing acknowledged yet) and at one in the second block.
TEST_F(DatalogExport, CancelKeepsTheTitleAndEveryLineUpToTheCancellingOne) {
    for (const size_t stop_at : {size_t{1}, size_t{17}}) {
        sim->set_raw_log(1, raw_records(30, 2), 10, {4352, 4353});
        const std::string expected = expected_csv(1, {4352, 4353}, 2, stop_at);
        Progress progress;
        progress.stop_at = stop_at;
        const std::string path = dir.file("cancel" + std::to_string(stop_at) + ".csv");
        EXPECT_EQ(export_to(1, path, &progress), -2);
        EXPECT_STREQ(err, "Cancelled by caller");
        EXPECT_EQ(file_bytes(path), expected);
        EXPECT_EQ(progress.calls, counts(static_cast<int>(stop_at), 30));
        EXPECT_EQ(acknowledgements(), stop_at > 10 ? 1 : 0);
    }
}

TEST_F(DatalogExport, MissingDirectoryFailsBeforeAnyBlock) {
    sim->set_raw_log(1, raw_records(30, 2), 10, {4352, 4353});
    const std::string path = dir.file("no/such/dir/x.csv");
    EXPECT_EQ(export_to(1, path), -1);
    EXPECT_EQ(std::string(err), "Cannot open CSV: " + path);
    EXPECT_EQ(commands(5), 0);
    EXPECT_EQ(commands(11), 0);
}

#ifndef _WIN32
// A whole log, and an empty one whose title line only fails at the close.
TEST_F(DatalogExport, FullDiskFailsInsteadOfReportingSuccess) {
    sim->set_raw_log(1, raw_records(300, 8), 10, EIGHT_POINTS);
    tandrel_sim::DataLogSetup empty_log;
    empty_log.point_ids = {4352};
    sim->set_datalog(5, empty_log);
    for (const auto& [file, records] : {std::pair{1, 300u}, std::pair{5, 0u}}) {
        Progress progress;
        EXPECT_EQ(export_to(file, "/dev/full", &progress), -1);
        EXPECT_STREQ(err, "Cannot write CSV: /dev/full");
        EXPECT_EQ(progress.calls.size(), records);  // the read itself went through
    }
}
#endif

TEST_F(DatalogExport, ShortFormEqualsLongFormWithDefaults) {
    // The short form always uses port 502, so it cannot reach the simulator:
    // both forms must fail alike against a closed port on loopback.
    char err_ex[256];
    const std::string a = dir.file("a.csv"), b = dir.file("b.csv");
    const int s = tandrel_export_datalog("127.0.0.1", "em235", 1, a.c_str(), err, sizeof err);
    const int l = tandrel_export_datalog_ex("127.0.0.1", "em235", 1, b.c_str(), nullptr, nullptr,
                                            nullptr, err_ex, sizeof err_ex);
    EXPECT_EQ(s, l);
    EXPECT_STREQ(err, err_ex);
    if (s < 0) {
        EXPECT_FALSE(std::filesystem::exists(a));  // no connection, no file
        EXPECT_FALSE(std::filesystem::exists(b));
    }
}

}  // namespace
}  // namespace log_test
