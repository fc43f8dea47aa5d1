// The event log exported to CSV from the simulated meter, byte by byte.
#include "log_fixture.h"
#include "logs/event_classify.h"

namespace log_test {
namespace {

using tandrel_sim::Event;
using tandrel_sim::EventLogSetup;

const char TITLE[] =
    "No.,Date/Time,Event No.,Cause,Point/Source,State,Effect,Target,Source ID,Effect ID,"
    "Value Triggered\n";

std::string quote_if_needed(const std::string& text) {
    if (text.find_first_of(",\"\n") == std::string::npos) return text;
    std::string out = "\"";
    for (const char c : text) out += (c == '"') ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

std::string expected_row(int no, const Event& e) {
    const tandrel::EventTexts t = tandrel::classify_event(e.source_id, e.effect_id);
    std::string row = std::to_string(no) + "," + ref_hmi(e.time, e.microseconds) + "," +
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

class EventlogExport : public LogSim {
protected:
    int export_log(Progress* progress, const std::string& path) {
        return tandrel_export_eventlog_ex("127.0.0.1", "em235", 0, path.c_str(), options.c_str(),
                                          progress ? on_progress : nullptr, progress, err,
                                          sizeof err);
    }

    TempDir dir;
    const std::string path_ = dir.file("events.csv");
};

TEST_F(EventlogExport, WritesARealisticLogByteForByteWithProgressPerRow) {
    EventLogSetup log_setup;
    log_setup.events = realistic_events(120);
    log_setup.records_per_block = 7;
    sim->set_eventlog(log_setup);
    Progress progress;
    ASSERT_EQ(export_log(&progress, path_), 120) << err;
    EXPECT_STREQ(err, "");
    EXPECT_EQ(file_bytes(path_), expected_file(log_setup.events, 120));
    ASSERT_EQ(progress.calls.size(), 120u);
    for (int i = 0; i < 120; ++i) EXPECT_EQ(progress.calls[i], std::make_pair(i + 1, 120));
}

TEST_F(EventlogExport, WritesTheClassificationTextsAsTheyAre) {
    EventLogSetup log_setup;
    log_setup.events = realistic_events(26);
    log_setup.events[25].value = INT32_MIN;
    sim->set_eventlog(log_setup);
    ASSERT_EQ(export_log(nullptr, path_), 26) << err;
    const std::string text = file_bytes(path_);
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
    sim->set_eventlog(EventLogSetup{});
    { std::ofstream(path_) << "old content that must go\n"; }
    Progress progress;
    EXPECT_EQ(export_log(&progress, path_), 0) << err;
    EXPECT_EQ(file_bytes(path_), TITLE);
    EXPECT_TRUE(progress.calls.empty());
}

TEST_F(EventlogExport, AnUnknownCountExportsEverythingWithTotalMinusOne) {
    EventLogSetup log_setup;
    log_setup.events = realistic_events(23);
    log_setup.file_info = false;
    sim->set_eventlog(log_setup);
    Progress progress;
    ASSERT_EQ(export_log(&progress, path_), 23) << err;
    EXPECT_EQ(file_bytes(path_), expected_file(log_setup.events, 23));
    ASSERT_EQ(progress.calls.size(), 23u);
    for (const auto& call : progress.calls) EXPECT_EQ(call.second, -1);
}

TEST_F(EventlogExport, CancellingKeepsTheRowsUpToTheCancellingOne) {
    EventLogSetup log_setup;
    log_setup.events = realistic_events(30);
    sim->set_eventlog(log_setup);
    Progress progress;
    progress.stop_at = 3;
    EXPECT_EQ(export_log(&progress, path_), -2);
    EXPECT_STREQ(err, "Cancelled by caller");
    EXPECT_EQ(file_bytes(path_), expected_file(log_setup.events, 3));
}

TEST_F(EventlogExport, APathThatCannotBeOpenedFailsBeforeAnyBlockIsRead) {
    EventLogSetup log_setup;
    log_setup.events = realistic_events(5);
    sim->set_eventlog(log_setup);
    const std::string bad = dir.file("missing/events.csv");
    EXPECT_EQ(export_log(nullptr, bad), -1);
    EXPECT_EQ(std::string(err), "Cannot open CSV: " + bad);
    for (const tandrel_sim::Request& r : sim->requests()) {
        EXPECT_FALSE(r.function == 16 && r.address == tandrel_sim::reg::FILE_COMMAND)
            << "log file selected after a failed open";
    }
}

TEST_F(EventlogExport, AFailedWriteIsAFailureNotASuccess) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no device that fails every write";
    EventLogSetup log_setup;
    log_setup.events = realistic_events(10);
    sim->set_eventlog(log_setup);
    EXPECT_EQ(export_log(nullptr, "/dev/full"), -1);
    EXPECT_STREQ(err, "Cannot write CSV: /dev/full");
}

// The short form uses the default port 502, so the simulator listens there on
// an address of its own.
TEST(EventlogExportShortForm, UsesTheDefaultPortAndNoProgress) {
    tandrel_sim::SimOptions o = tandrel_sim::SimOptions::deterministic();
    o.default_logs = false;
    tandrel_sim::Simulator sim(tandrel_sim::Model::EM133, o);
    sim.start("127.0.73.1", 502);
    EventLogSetup log_setup;
    log_setup.events = realistic_events(11);
    sim.set_eventlog(log_setup);
    const TempDir dir;
    const std::string path = dir.file("events.csv");
    char err[256];
    EXPECT_EQ(tandrel_export_eventlog("127.0.73.1", "em133", 0, path.c_str(), err, sizeof err), 11)
        << err;
    EXPECT_EQ(file_bytes(path), expected_file(log_setup.events, 11));
    for (const tandrel_sim::Request& r : sim.requests()) EXPECT_EQ(r.unit_id, 1);
}

}  // namespace
}  // namespace log_test
