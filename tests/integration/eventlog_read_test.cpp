// The event log streamed as JSON from the simulated meter, object by object.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "datalog_fixture.h"
#include "logs/event_classify.h"
#include "sim/simulator.h"
#include "tandrel.h"

namespace {

using tandrel_sim::Event;
using tandrel_sim::EventLogSpec;
using tandrel_sim::Model;
using tandrel_sim::SimOptions;
using tandrel_sim::Simulator;

// (source, effect) pairs that reach every classification rule and cause.
const std::pair<uint16_t, uint16_t> EVENT_IDS[] = {
    {0x031D, 0xE100}, {0x5A00, 0x2000}, {0x5A05, 0x2103}, {0x0302, 0xE102}, {0x5A01, 0x2000},
    {0x5A3F, 0x5100}, {0x5A02, 0x1234}, {0x5A00, 0x3905}, {0x5A0C, 0x7207}, {0x5A00, 0xE100},
    {0x0001, 0xE13F}, {0x0001, 0xE200}, {0x6309, 0x0000}, {0x0001, 0x6321}, {0x6300, 0x0000},
    {0x6308, 0x0000}, {0x5B0F, 0x1234}, {0x5B0F, 0xF500}, {0x5B12, 0x6102}, {0x5B10, 0x0400},
    {0x0001, 0x0000}, {0x0001, 0x6A05}, {0x0001, 0xF400}, {0x0001, 0x1234}, {0xFFFF, 0xFFFF},
};

std::vector<Event> realistic_events(int count) {
    std::vector<Event> events;
    const int kinds = static_cast<int>(sizeof EVENT_IDS / sizeof EVENT_IDS[0]);
    for (int i = 0; i < count; ++i) {
        Event e;
        e.source_id = EVENT_IDS[i % kinds].first;
        e.effect_id = EVENT_IDS[i % kinds].second;
        e.event_no = static_cast<uint16_t>(1000 + i);
        e.value = (i % 3 == 0) ? -(i * 70001) : i * 12345;
        e.time = 1764942127u + static_cast<uint32_t>(i) * 3607u;
        e.microseconds = static_cast<uint32_t>((i * 104729) % 1000000);
        events.push_back(e);
    }
    if (count > 7) events[7].value = INT32_MIN;
    return events;
}

std::string iso_utc(uint32_t seconds, uint32_t microseconds) {
    return datalog_test::strftime_utc(seconds, "%Y-%m-%dT%H:%M:%S.") +
           datalog_test::millis(microseconds) + "Z";
}

std::string quoted(const std::string& text) { return "\"" + text + "\""; }

// What the library must deliver for one event, built from the simulator's
// view of it; the texts come from the separately table-tested classification.
std::string expected_record(int no, uint16_t seq, const Event& e) {
    const tandrel::EventTexts t = tandrel::classify_event(e.source_id, e.effect_id);
    return "{\"type\":\"record\",\"no\":" + std::to_string(no) + ",\"seq\":" +
           std::to_string(seq) + ",\"timestamp\":" + quoted(iso_utc(e.time, e.microseconds)) +
           ",\"event_no\":" + std::to_string(e.event_no) + ",\"cause\":" + quoted(t[0]) +
           ",\"point\":" + quoted(t[1]) + ",\"state\":" + quoted(t[2]) +
           ",\"effect\":" + quoted(t[3]) + ",\"target\":" + quoted(t[4]) +
           ",\"source_id\":" + std::to_string(e.source_id) +
           ",\"effect_id\":" + std::to_string(e.effect_id) +
           ",\"value_triggered\":" + std::to_string(e.value) + "}";
}

struct Collected {
    std::vector<std::string> lines;
    int stop_after = 0;  // 0: never stop
};

int TANDREL_CALL collect(const char* text, void* user) {
    auto* c = static_cast<Collected*>(user);
    c->lines.emplace_back(text);
    return (c->stop_after > 0 && static_cast<int>(c->lines.size()) >= c->stop_after) ? 1 : 0;
}

class EventlogRead : public ::testing::Test {
protected:
    void SetUp() override {
        SimOptions o = SimOptions::deterministic();
        o.default_logs = false;
        sim_ = std::make_unique<Simulator>(Model::EM133, o);
        sim_->start("127.0.0.1", 0);
        options_ = "{\"port\":" + std::to_string(sim_->port()) + ",\"timeout_ms\":5000}";
    }

    int read(Collected& out, const char* meter = "em133") {
        return tandrel_read_eventlog("127.0.0.1", meter, 0, options_.c_str(), collect, &out, err_,
                                     sizeof err_);
    }

    bool any_block_requested() const {
        for (const tandrel_sim::Request& r : sim_->requests()) {
            if (r.function == 16 && r.address == tandrel_sim::reg::FILE_COMMAND &&
                !r.values.empty() && r.values[0] == 11) {
                return true;
            }
        }
        return false;
    }

    std::unique_ptr<Simulator> sim_;
    std::string options_;
    char err_[256] = "untouched";
};

TEST_F(EventlogRead, DeliversEveryEventOfARealisticLogInOrder) {
    EventLogSpec log_setup;
    log_setup.events = realistic_events(130);
    log_setup.first_seq = 65500;  // the sequence numbers wrap past 65535
    sim_->set_eventlog(log_setup);
    Collected out;
    ASSERT_EQ(read(out), 130) << err_;
    EXPECT_STREQ(err_, "");
    ASSERT_EQ(out.lines.size(), 131u);
    EXPECT_EQ(out.lines[0], "{\"type\":\"header\",\"meter\":\"em133\",\"host\":\"127.0.0.1\","
                            "\"file_id\":0,\"total\":130}");
    for (int i = 0; i < 130; ++i) {
        const uint16_t seq = static_cast<uint16_t>(65500 + i);
        EXPECT_EQ(out.lines[i + 1], expected_record(i + 1, seq, log_setup.events[i])) << i;
    }
}

TEST_F(EventlogRead, ShowsTheClassificationAndNegativeValuesLiterally) {
    EventLogSpec log_setup;
    log_setup.events = realistic_events(2);
    log_setup.events[1].value = -65535;
    sim_->set_eventlog(log_setup);
    Collected out;
    ASSERT_EQ(read(out, "PM335"), 2) << err_;
    ASSERT_EQ(out.lines.size(), 3u);
    EXPECT_EQ(out.lines[0].find("\"meter\":\"em235\""), 17u);
    EXPECT_EQ(out.lines[1],
              "{\"type\":\"record\",\"no\":1,\"seq\":1,\"timestamp\":\"2025-12-05T13:42:07.000Z\","
              "\"event_no\":1000,\"cause\":\"SP EVENT\",\"point\":\"EVENT FLAG 30\","
              "\"state\":\"ON\",\"effect\":\"SP operated\",\"target\":\"#1\",\"source_id\":797,"
              "\"effect_id\":57600,\"value_triggered\":0}");
    EXPECT_EQ(out.lines[2],
              "{\"type\":\"record\",\"no\":2,\"seq\":2,\"timestamp\":\"2025-12-05T14:42:14.104Z\","
              "\"event_no\":1001,\"cause\":\"SP ACTION\",\"point\":\"SP1\",\"state\":\"\","
              "\"effect\":\"Set event flag\",\"target\":\"#1\",\"source_id\":23040,"
              "\"effect_id\":8192,\"value_triggered\":-65535}");
}

TEST_F(EventlogRead, AnEmptyLogDeliversOnlyTheHeader) {
    sim_->set_eventlog(EventLogSpec{});
    Collected out;
    EXPECT_EQ(read(out), 0) << err_;
    ASSERT_EQ(out.lines.size(), 1u);
    EXPECT_NE(out.lines[0].find("\"total\":0}"), std::string::npos);
}

TEST_F(EventlogRead, ShortRecordsDecodeWithZeroEffectAndValue) {
    EventLogSpec log_setup;
    log_setup.events = realistic_events(3);
    log_setup.record_words = 8;
    sim_->set_eventlog(log_setup);
    Collected out;
    ASSERT_EQ(read(out), 3) << err_;
    ASSERT_EQ(out.lines.size(), 4u);
    EXPECT_NE(out.lines[1].find("\"effect\":\"None\",\"target\":\"\",\"source_id\":797,"
                                "\"effect_id\":0,\"value_triggered\":0}"),
              std::string::npos)
        << out.lines[1];
}

TEST_F(EventlogRead, AnUnknownCountStillReadsToTheEndAndReportsMinusOne) {
    EventLogSpec log_setup;
    log_setup.events = realistic_events(25);
    log_setup.file_info = false;
    sim_->set_eventlog(log_setup);
    Collected out;
    EXPECT_EQ(read(out), 25) << err_;
    ASSERT_EQ(out.lines.size(), 26u);
    EXPECT_NE(out.lines[0].find("\"total\":-1}"), std::string::npos);
}

// At the header no block is asked for; later, what was delivered stays.
// A failing transfer is the fault matrix's (tests/hardening).
TEST_F(EventlogRead, StoppingKeepsWhatWasDelivered) {
    for (const size_t stop_after : {size_t{1}, size_t{15}}) {
        EventLogSpec log_setup;
        log_setup.events = realistic_events(40);
        sim_->set_eventlog(log_setup);
        sim_->clear_requests();
        Collected out;
        out.stop_after = static_cast<int>(stop_after);
        EXPECT_EQ(read(out), -2);
        EXPECT_STREQ(err_, "Cancelled by caller");
        EXPECT_EQ(out.lines.size(), stop_after);
        EXPECT_EQ(any_block_requested(), stop_after > 1);
    }
}

}  // namespace
