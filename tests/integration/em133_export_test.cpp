// The em133 bulk export against a simulated em133 on port 502 of a loopback
// address of its own (each test takes another address).
#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "sim/simulator.h"
#include "support/temp_dir.h"
#include "tandrel.h"

namespace {

namespace fs = std::filesystem;
using tandrel_sim::DataLogSetup;
using tandrel_sim::EventLogSetup;
using tandrel_sim::Model;
using tandrel_sim::Request;
using tandrel_sim::SimOptions;
using tandrel_sim::Simulator;

constexpr uint16_t CLOCK_PARAM = 2575;
constexpr uint16_t CLOCK = 4352;

DataLogSetup datalog(int records) {
    DataLogSetup log_setup;
    log_setup.point_ids = {4352, 4353};
    log_setup.records = records;
    return log_setup;
}

size_t line_count(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return static_cast<size_t>(std::count(std::istreambuf_iterator<char>(in),
                                          std::istreambuf_iterator<char>(), '\n'));
}

// The clock words the computer's local time gives at `t`.
std::vector<uint16_t> local_clock_words(std::time_t t) {
    const std::tm local = *std::localtime(&t);
    return {static_cast<uint16_t>(local.tm_sec),     static_cast<uint16_t>(local.tm_min),
            static_cast<uint16_t>(local.tm_hour),    static_cast<uint16_t>(local.tm_mday),
            static_cast<uint16_t>(local.tm_mon + 1), static_cast<uint16_t>(local.tm_year - 100),
            static_cast<uint16_t>(local.tm_wday + 1)};
}

class Em133Export : public ::testing::Test {
protected:
    // Each test listens on its own address, so no two tests share port 502.
    void start(const char* address) {
        host_ = address;
        SimOptions o = SimOptions::deterministic();
        o.default_logs = false;
        sim_ = std::make_unique<Simulator>(Model::EM133, o);
        sim_->start(host_, 502);
        sim_->set_datalog(1, datalog(10));
        sim_->set_datalog(2, datalog(0));
        sim_->set_datalog(3, datalog(5));
        EventLogSetup events;
        events.events.resize(7);
        sim_->set_eventlog(events);
    }

    int run(int set_clock, int clock_param, const std::string& out_dir) {
        return tandrel_export_em133_all(host_.c_str(), set_clock, clock_param, out_dir.c_str(),
                                        err_, sizeof err_);
    }

    std::vector<Request> clock_writes() const {
        std::vector<Request> writes;
        for (const Request& r : sim_->requests()) {
            if ((r.function == 6 || r.function == 16) &&
                (r.address == CLOCK_PARAM || r.address == CLOCK)) {
                writes.push_back(r);
            }
        }
        return writes;
    }

    std::vector<std::string> written_files() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir_)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    std::string host_;
    std::unique_ptr<Simulator> sim_;
    const tandrel::testing::TempDir dir;
    const fs::path& dir_ = dir.path();
    char err_[512] = "untouched";
};

TEST_F(Em133Export, WritesFourFilesAfterSettingTheClock) {
    start("127.0.71.1");
    const std::time_t before = std::time(nullptr);
    ASSERT_EQ(run(1, 0, dir_.string()), 22) << err_;
    const std::time_t after = std::time(nullptr);
    EXPECT_STREQ(err_, "");

    const std::vector<std::string> names = written_files();
    ASSERT_EQ(names.size(), 4u);
    const char* patterns[] = {"EM133_DL1_", "EM133_DL2_", "EM133_DL3_", "EM133_EVENTLOG_"};
    const size_t lines[] = {11, 1, 6, 8};  // title line plus records
    for (int i = 0; i < 4; ++i) {
        EXPECT_TRUE(std::regex_match(names[i], std::regex(std::string(patterns[i]) +
                                                          "[0-9]{8}_[0-9]{6}_[0-9]{3}\\.csv")))
            << names[i];
        EXPECT_EQ(line_count(dir_ / names[i]), lines[i]) << names[i];
    }

    const std::vector<Request> writes = clock_writes();
    ASSERT_EQ(writes.size(), 3u);
    EXPECT_EQ(writes[0].function, 6);
    EXPECT_EQ(writes[0].address, CLOCK_PARAM);
    EXPECT_EQ(writes[0].values, std::vector<uint16_t>{TANDREL_DEFAULT_CLOCK_PARAM});
    EXPECT_EQ(writes[1].function, 16);
    EXPECT_EQ(writes[1].address, CLOCK);
    EXPECT_EQ(writes[2].function, 6);
    EXPECT_EQ(writes[2].address, CLOCK_PARAM);
    EXPECT_EQ(writes[2].values, std::vector<uint16_t>{0});
    for (const Request& r : writes) EXPECT_EQ(r.connection, writes[0].connection);

    // The words are the local time of a second within the call; the weekday
    // counts from 1 for Sunday.
    bool matched = false;
    for (std::time_t t = before; t <= after && !matched; ++t) {
        matched = writes[1].values == local_clock_words(t);
    }
    EXPECT_TRUE(matched);
    ASSERT_EQ(writes[1].values.size(), 7u);
    EXPECT_GE(writes[1].values[6], 1);
    EXPECT_LE(writes[1].values[6], 7);
    EXPECT_EQ(sim_->connections_accepted(), 5);
}

TEST_F(Em133Export, LeavesTheClockAloneWhenNotAsked) {
    start("127.0.71.2");
    EXPECT_EQ(run(0, 9, dir_.string() + "/"), 22) << err_;
    EXPECT_TRUE(clock_writes().empty());
    EXPECT_EQ(written_files().size(), 4u);
    EXPECT_EQ(sim_->connections_accepted(), 4);
}

// The low sixteen bits of the parameter are sent; a negative one selects the default.
TEST_F(Em133Export, SendsTheClockParameterAsGivenOrItsDefault) {
    const struct {
        const char* host;
        int param;
        uint16_t sent;
    } cases[] = {{"127.0.71.3", 0x10007, 7}, {"127.0.71.4", -5, TANDREL_DEFAULT_CLOCK_PARAM}};
    for (const auto& c : cases) {
        start(c.host);
        ASSERT_EQ(run(1, c.param, dir_.string()), 22) << err_;
        const std::vector<Request> writes = clock_writes();
        ASSERT_EQ(writes.size(), 3u);
        EXPECT_EQ(writes[0].values, std::vector<uint16_t>{c.sent});
    }
}

TEST_F(Em133Export, AFailedClockWriteResetsTheParameterAndExportsNothing) {
    start("127.0.71.5");
    sim_->add_fault(tandrel_sim::Fault::exception_at(CLOCK, 3).for_function(16));
    EXPECT_EQ(run(1, 4, dir_.string()), -1);
    EXPECT_STREQ(err_, "Modbus exception 3");
    const std::vector<Request> writes = clock_writes();
    ASSERT_EQ(writes.size(), 3u);
    EXPECT_EQ(writes[0].values, std::vector<uint16_t>{4});
    EXPECT_EQ(writes[1].address, CLOCK);
    EXPECT_EQ(writes[2].address, CLOCK_PARAM);
    EXPECT_EQ(writes[2].values, std::vector<uint16_t>{0});
    EXPECT_TRUE(written_files().empty());
    EXPECT_EQ(sim_->connections_accepted(), 1);
}

TEST_F(Em133Export, AFailedParameterWriteFailsWithoutTouchingTheClock) {
    start("127.0.71.6");
    sim_->add_fault(tandrel_sim::Fault::exception_at(CLOCK_PARAM, 2).for_function(6));
    EXPECT_EQ(run(1, 0, dir_.string()), -1);
    EXPECT_STREQ(err_, "Modbus exception 2");
    EXPECT_EQ(clock_writes().size(), 1u);
    EXPECT_TRUE(written_files().empty());
}

TEST_F(Em133Export, AMissingDirectoryFailsAtTheFirstFile) {
    start("127.0.71.7");
    const std::string missing = (dir_ / "no_such_dir").string();
    EXPECT_EQ(run(0, 0, missing), -1);
    const std::string err = err_;
    const std::string prefix = "Cannot open CSV: " + missing + "/EM133_DL1_";
    EXPECT_EQ(err.substr(0, prefix.size()), prefix) << err;
    EXPECT_EQ(err.substr(err.size() - 4), ".csv");
    EXPECT_TRUE(written_files().empty());
    EXPECT_FALSE(fs::exists(missing));
}

}  // namespace
