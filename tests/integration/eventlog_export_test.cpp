// The event log exported to CSV from the simulated meter, byte by byte.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "datalog_fixture.h"
#include "logs/event_classify.h"
#include "sim/simulator.h"
#include "tandrel.h"

namespace {

namespace fs = std::filesystem;
using tandrel_sim::Event;
using tandrel_sim::EventLogSpec;
using tandrel_sim::Model;
using tandrel_sim::SimOptions;
using tandrel_sim::Simulator;

const char TITLE[] =
    "No.,Date/Time,Event No.,Cause,Point/Source,State,Effect,Target,Source ID,Effect ID,"
    "Value Triggered\n";

// Every cause, texts with '/', '.', '#' and blanks, and events with no text at all.
const std::pair<uint16_t, uint16_t> EVENT_IDS[] = {
    {0x0303, 0xE105}, {0x5A00, 0x2001}, {0x0080, 0xE103}, {0x5A07, 0x411F}, {0x5A20, 0x3A0F},
    {0x5A09, 0x5300}, {0x5A0D, 0x8000}, {0x0001, 0xE23F}, {0x0001, 0xE105}, {0x6318, 0x1234},
    {0x0001, 0x631A}, {0x5B12, 0x6102}, {0x5B14, 0x1234}, {0x5B35, 0x6A1B}, {0x5B10, 0x03FF},
    {0x0001, 0x6200}, {0x0001, 0x6B07}, {0x0001, 0xF900}, {0x0001, 0x4321}, {0x1234, 0x0001},
};

std::vector<Event> realistic_events(int count) {
    std::vector<Event> events;
    const int kinds = static_cast<int>(sizeof EVENT_IDS / sizeof EVENT_IDS[0]);
    for (int i = 0; i < count; ++i) {
        Event e;
        e.source_id = EVENT_IDS[i % kinds].first;
        e.effect_id = EVENT_IDS[i % kinds].second;
        e.event_no = static_cast<uint16_t>(i * 3);
        e.value = (i % 2 == 0) ? -(i * 99991) : i * 7;
        e.time = 1767225600u - static_cast<uint32_t>(count - i) * 86411u;
        e.microseconds = static_cast<uint32_t>((i * 333667) % 1000000);
        events.push_back(e);
    }
    return events;
}

std::string hmi_datetime(uint32_t seconds, uint32_t microseconds) {
    return datalog_test::strftime_utc(seconds, "%d/%m/%y  %H:%M:%S.") +
           datalog_test::millis(microseconds);
}

std::string quote_if_needed(const std::string& text) {
    if (text.find_first_of(",\"\n") == std::string::npos) return text;
    std::string out = "\"";
    for (const char c : text) out += (c == '"') ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

std::string expected_row(int no, const Event& e) {
    const tandrel::EventTexts t = tandrel::classify_event(e.source_id, e.effect_id);
    std::string row = std::to_string(no) + "," + hmi_datetime(e.time, e.microseconds) + "," +
                      std::to_string(e.event_no);
    for (const std::string& text : t) row += "," + quote_if_needed(text);
    return row + "," + std::to_string(e.source_id) + "," + std::to_string(e.effect_id) + "," +
           std::to_string(e.value) + "\n";
}

std::string expected_file(const std::vector<Event>& events, size_t rows) {
    std::string text = TITLE;
    for (size_t i = 0; i < rows; ++i) text += expected_row(static_cast<int>(i) + 1, events[i]);
    return text;
}

struct Progress {
    std::vector<std::pair<int, int>> calls;
    int stop_at = 0;
};

int TANDREL_CALL on_progress(int done, int total, void* user) {
    auto* p = static_cast<Progress*>(user);
    p->calls.emplace_back(done, total);
    return (p->stop_at > 0 && done >= p->stop_at) ? 1 : 0;
}

class EventlogExport : public ::testing::Test {
protected:
    void SetUp() override {
        SimOptions o = SimOptions::deterministic();
        o.default_logs = false;
        sim_ = std::make_unique<Simulator>(Model::EM235, o);
        sim_->start("127.0.0.1", 0);
        options_ = "{\"port\":" + std::to_string(sim_->port()) + ",\"timeout_ms\":5000}";
        dir_ = fs::temp_directory_path() /
               ("tandrel_eventlog_" + std::to_string(sim_->port()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        path_ = (dir_ / "events.csv").string();
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }

    int export_log(Progress* progress, const std::string& path) {
        return tandrel_export_eventlog_ex("127.0.0.1", "em235", 0, path.c_str(), options_.c_str(),
                                          progress ? on_progress : nullptr, progress, err_,
                                          sizeof err_);
    }

    std::unique_ptr<Simulator> sim_;
    std::string options_;
    fs::path dir_;
    std::string path_;
    char err_[512] = "untouched";
};

TEST_F(EventlogExport, WritesARealisticLogByteForByteWithProgressPerRow) {
    EventLogSpec log_setup;
    log_setup.events = realistic_events(120);
    log_setup.records_per_block = 7;
    sim_->set_eventlog(log_setup);
    Progress progress;
    ASSERT_EQ(export_log(&progress, path_), 120) << err_;
    EXPECT_STREQ(err_, "");
    EXPECT_EQ(datalog_test::file_bytes(path_), expected_file(log_setup.events, 120));
    ASSERT_EQ(progress.calls.size(), 120u);
    for (int i = 0; i < 120; ++i) EXPECT_EQ(progress.calls[i], std::make_pair(i + 1, 120));
}

TEST_F(EventlogExport, WritesTheClassificationTextsAsTheyAre) {
    EventLogSpec log_setup;
    log_setup.events = realistic_events(13);
    log_setup.events[0].value = INT32_MIN;
    sim_->set_eventlog(log_setup);
    ASSERT_EQ(export_log(nullptr, path_), 13) << err_;
    const std::string text = datalog_test::file_bytes(path_);
    EXPECT_EQ(text.substr(0, 99), TITLE);
    EXPECT_NE(text.find(",SP EVENT,EVENT FLAG 4,ON,SP operated,#6,771,57605,-2147483648\n"),
              std::string::npos);
    EXPECT_NE(text.find(",COMM,Assign. registers,,Volt/Ampere maximum demands cleared,,23314,"
                        "24834,"),
              std::string::npos);
    EXPECT_EQ(text.find('"'), std::string::npos);
    EXPECT_EQ(text.find('\r'), std::string::npos);
}

TEST_F(EventlogExport, AnEmptyLogGivesTheTitleOnly) {
    sim_->set_eventlog(EventLogSpec{});
    { std::ofstream(path_) << "old content that must go\n"; }
    Progress progress;
    EXPECT_EQ(export_log(&progress, path_), 0) << err_;
    EXPECT_EQ(datalog_test::file_bytes(path_), TITLE);
    EXPECT_TRUE(progress.calls.empty());
}

TEST_F(EventlogExport, AnUnknownCountExportsEverythingWithTotalMinusOne) {
    EventLogSpec log_setup;
    log_setup.events = realistic_events(23);
    log_setup.file_info = false;
    sim_->set_eventlog(log_setup);
    Progress progress;
    ASSERT_EQ(export_log(&progress, path_), 23) << err_;
    EXPECT_EQ(datalog_test::file_bytes(path_), expected_file(log_setup.events, 23));
    ASSERT_EQ(progress.calls.size(), 23u);
    for (const auto& call : progress.calls) EXPECT_EQ(call.second, -1);
}

TEST_F(EventlogExport, CancellingKeepsTheRowsUpToTheCancellingOne) {
    EventLogSpec log_setup;
    log_setup.events = realistic_events(30);
    sim_->set_eventlog(log_setup);
    Progress progress;
    progress.stop_at = 3;
    EXPECT_EQ(export_log(&progress, path_), -2);
    EXPECT_STREQ(err_, "Cancelled by caller");
    EXPECT_EQ(datalog_test::file_bytes(path_), expected_file(log_setup.events, 3));
}

TEST_F(EventlogExport, ATransferFailureKeepsTheRowsWrittenBeforeIt) {
    EventLogSpec log_setup;
    log_setup.events = realistic_events(30);
    log_setup.records_per_block = 10;
    sim_->set_eventlog(log_setup);
    // The first block's data read passes untouched, the second one fails.
    tandrel_sim::Fault pass_first;
    pass_first.address_lo = pass_first.address_hi = tandrel_sim::reg::BLOCK_DATA;
    pass_first.action = tandrel_sim::FaultAction::Delay;
    sim_->add_fault(pass_first);
    sim_->add_fault(tandrel_sim::Fault::exception_at(tandrel_sim::reg::BLOCK_DATA, 4));
    EXPECT_EQ(export_log(nullptr, path_), -1);
    EXPECT_STREQ(err_, "Modbus exception 4");
    EXPECT_EQ(datalog_test::file_bytes(path_), expected_file(log_setup.events, 10));
}

TEST_F(EventlogExport, APathThatCannotBeOpenedFailsBeforeAnyBlockIsRead) {
    EventLogSpec log_setup;
    log_setup.events = realistic_events(5);
    sim_->set_eventlog(log_setup);
    const std::string bad = (dir_ / "missing" / "events.csv").string();
    EXPECT_EQ(export_log(nullptr, bad), -1);
    EXPECT_EQ(std::string(err_), "Cannot open CSV: " + bad);
    for (const tandrel_sim::Request& r : sim_->requests()) {
        EXPECT_FALSE(r.function == 16 && r.address == tandrel_sim::reg::FILE_COMMAND)
            << "log file selected after a failed open";
    }
}

TEST_F(EventlogExport, AFailedWriteIsAFailureNotASuccess) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no device that fails every write";
    EventLogSpec log_setup;
    log_setup.events = realistic_events(10);
    sim_->set_eventlog(log_setup);
    EXPECT_EQ(export_log(nullptr, "/dev/full"), -1);
    EXPECT_STREQ(err_, "Cannot write CSV: /dev/full");
}

// The short form uses the default port 502, so the simulator listens there on
// an address of its own.
TEST(EventlogExportShortForm, UsesTheDefaultPortAndNoProgress) {
    SimOptions o = SimOptions::deterministic();
    o.default_logs = false;
    Simulator sim(Model::EM133, o);
    sim.start("127.0.73.1", 502);
    EventLogSpec log_setup;
    log_setup.events = realistic_events(11);
    sim.set_eventlog(log_setup);
    const fs::path path = fs::temp_directory_path() / "tandrel_eventlog_short_form.csv";
    char err[256];
    EXPECT_EQ(tandrel_export_eventlog("127.0.73.1", "em133", 0, path.string().c_str(), err,
                                      sizeof err),
              11)
        << err;
    EXPECT_EQ(datalog_test::file_bytes(path.string()), expected_file(log_setup.events, 11));
    for (const tandrel_sim::Request& r : sim.requests()) EXPECT_EQ(r.unit_id, 1);
    fs::remove(path);
}

}  // namespace
