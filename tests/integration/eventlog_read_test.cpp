// The event log streamed as JSON from the simulated meter, object by object.
#include "log_fixture.h"
#include "logs/event_classify.h"

namespace log_test {
namespace {

using tandrel_sim::Event;
using tandrel_sim::EventLogSetup;

std::string quoted(const std::string& text) { return "\"" + text + "\""; }

// What the library must deliver for one event, built from the simulator's
// view of it; the texts come from the separately table-tested classification.
std::string expected_record(int no, uint16_t seq, const Event& e) {
    const tandrel::EventTexts t = tandrel::classify_event(e.source_id, e.effect_id);
    return "{\"type\":\"record\",\"no\":" + std::to_string(no) + ",\"seq\":" +
           std::to_string(seq) + ",\"timestamp\":" + quoted(ref_iso(e.time, e.microseconds)) +
           ",\"event_no\":" + std::to_string(e.event_no) + ",\"cause\":" + quoted(t[0]) +
           ",\"point\":" + quoted(t[1]) + ",\"state\":" + quoted(t[2]) +
           ",\"effect\":" + quoted(t[3]) + ",\"target\":" + quoted(t[4]) +
           ",\"source_id\":" + std::to_string(e.source_id) +
           ",\"effect_id\":" + std::to_string(e.effect_id) +
           ",\"value_triggered\":" + std::to_string(e.value) + "}";
}

class EventlogRead : public LogSim {
protected:
    int read(Collected& out, const char* meter = "em133") {
        return tandrel_read_eventlog("127.0.0.1", meter, 0, options.c_str(), collect, &out, err,
                                     sizeof err);
    }
};

TEST_F(EventlogRead, DeliversEveryEventOfARealisticLogInOrder) {
    EventLogSetup log_setup;
    log_setup.events = realistic_events(130);
    log_setup.first_seq = 65500;  // the sequence numbers wrap past 65535
    sim->set_eventlog(log_setup);
    Collected out;
    ASSERT_EQ(read(out), 130) << err;
    EXPECT_STREQ(err, "");
    ASSERT_EQ(out.lines.size(), 131u);
    EXPECT_EQ(out.lines[0], "{\"type\":\"header\",\"meter\":\"em133\",\"host\":\"127.0.0.1\","
                            "\"file_id\":0,\"total\":130}");
    for (int i = 0; i < 130; ++i) {
        const uint16_t seq = static_cast<uint16_t>(65500 + i);
        EXPECT_EQ(out.lines[i + 1], expected_record(i + 1, seq, log_setup.events[i])) << i;
    }
}

TEST_F(EventlogRead, ShowsTheClassificationAndNegativeValuesLiterally) {
    EventLogSetup log_setup;
    log_setup.events = realistic_events(2);
    log_setup.events[1].value = -65535;
    sim->set_eventlog(log_setup);
    Collected out;
    ASSERT_EQ(read(out, "PM335"), 2) << err;
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
    sim->set_eventlog(EventLogSetup{});
    Collected out;
    EXPECT_EQ(read(out), 0) << err;
    ASSERT_EQ(out.lines.size(), 1u);
    EXPECT_NE(out.lines[0].find("\"total\":0}"), std::string::npos);
}

TEST_F(EventlogRead, ShortRecordsDecodeWithZeroEffectAndValue) {
    EventLogSetup log_setup;
    log_setup.events = realistic_events(3);
    log_setup.record_words = 8;
    sim->set_eventlog(log_setup);
    Collected out;
    ASSERT_EQ(read(out), 3) << err;
    ASSERT_EQ(out.lines.size(), 4u);
    EXPECT_NE(out.lines[1].find("\"effect\":\"None\",\"target\":\"\",\"source_id\":797,"
                                "\"effect_id\":0,\"value_triggered\":0}"),
              std::string::npos)
        << out.lines[1];
}

TEST_F(EventlogRead, AnUnknownCountStillReadsToTheEndAndReportsMinusOne) {
    EventLogSetup log_setup;
    log_setup.events = realistic_events(25);
    log_setup.file_info = false;
    sim->set_eventlog(log_setup);
    Collected out;
    EXPECT_EQ(read(out), 25) << err;
    ASSERT_EQ(out.lines.size(), 26u);
    EXPECT_NE(out.lines[0].find("\"total\":-1}"), std::string::npos);
}

// At the header no block is asked for; later, what was delivered stays.
// A failing transfer is the fault matrix's (tests/hardening).
TEST_F(EventlogRead, StoppingKeepsWhatWasDelivered) {
    for (const size_t stop_after : {size_t{1}, size_t{15}}) {
        EventLogSetup log_setup;
        log_setup.events = realistic_events(40);
        sim->set_eventlog(log_setup);
        sim->clear_requests();
        Collected out;
        out.stop_at = stop_after;
        EXPECT_EQ(read(out), -2);
        EXPECT_STREQ(err, "Cancelled by caller");
        EXPECT_EQ(out.lines.size(), stop_after);
        EXPECT_EQ(commands(11) > 0, stop_after > 1);
    }
}

}  // namespace
}  // namespace log_test
