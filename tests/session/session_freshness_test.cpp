// When a session reads the identity and setup again: after a reconnect (the
// meter may have restarted with another setup, or be another meter), and once
// the setup has aged out; and how the open learns or refuses a model.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "session_test_meter.h"
#include "support/sim_connections.h"

namespace session_testing {
namespace {

using tandrel_sim::reg::EM235_PT_RATIO;
using tandrel_sim::reg::IDENTIFICATION;

// A meter restarted with a voltage transformer: the first call after the
// restart fails with the break, the next reconnects and scales V1 by the new
// setup (whole volts instead of tenths), never by the cached one.
TEST(SessionFreshness, ReconnectReadsTheNewSetup) {
    auto sim = start_em235();
    const std::uint16_t port = sim->port();
    const Opened o = open_session("em235", options(*sim));
    ASSERT_NE(o.session, nullptr) << o.err;
    EXPECT_EQ(read_v1(o.session).value, "230.5");

    sim->stop();
    sim->set_pt_ratio_x10(1200);
    sim->start("127.0.0.1", port);
    sim->clear_requests();
    const Reading broken = read_v1(o.session);
    EXPECT_EQ(broken.status, -1);
    EXPECT_EQ(broken.err, "No values could be read: socket recv failed");
    const Reading after = read_v1(o.session);
    ASSERT_EQ(after.status, 1) << after.err;
    EXPECT_EQ(after.value, "2305");
    const std::vector<Request> log = sim->requests();
    EXPECT_EQ(requests_at(log, IDENTIFICATION), 1) << "the identity was not read again";
    EXPECT_EQ(log.back().address, tandrel_sim::Simulator::point_address(tandrel_sim::Model::EM235, V1));
    tandrel_close(o.session);
    EXPECT_TRUE(tandrel::testing::connections_closed(*sim));
}

// Another meter at the address after a restart: the session refuses to read
// it with the setup of the first, then and on every later call, sending nothing.
TEST(SessionFreshness, AnotherMeterAfterAReconnectIsRefused) {
    auto sim = start_em235();
    const std::uint16_t port = sim->port();
    const Opened o = open_session(nullptr, options(*sim));
    ASSERT_NE(o.session, nullptr) << o.err;
    sim->stop();
    tandrel_sim::Identity other{23509999, 235, "EM235", 7, 3012, 5, 402, 1};
    sim->set_identity(other);
    sim->start("127.0.0.1", port);
    EXPECT_EQ(read_v1(o.session).status, -1);  // the break
    const std::string refusal = "the meter at 127.0.0.1:" + std::to_string(port) +
                                " now reports serial 23509999, not 23501178; open a new session";
    EXPECT_EQ(read_v1(o.session).err, refusal);
    sim->clear_requests();
    const Reading again = read_v1(o.session);
    EXPECT_EQ(again.err, refusal);
    EXPECT_TRUE(sim->requests().empty()) << "a refused session still sent requests";
    tandrel_close(o.session);
}

// An age of 50 ms has passed after 100 ms: the call reads identity and setup
// before its values, on the same connection.
TEST(SessionFreshness, AnAgedSetupIsReadAgain) {
    auto sim = start_em235();
    const Opened o = open_session("em235", options(*sim, ",\"setup_max_age_ms\":50"));
    ASSERT_NE(o.session, nullptr) << o.err;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    sim->clear_requests();
    ASSERT_EQ(read_v1(o.session).value, "230.5");
    const std::vector<Request> log = sim->requests();
    EXPECT_EQ(requests_at(log, IDENTIFICATION), 1);
    EXPECT_EQ(requests_at(log, EM235_PT_RATIO), 2);  // the setup's and the document's read
    EXPECT_EQ(sim->connections_accepted(), 1);
    tandrel_close(o.session);
}

// A setup read that fails leaves the setup due: the next call reads it again
// instead of trusting what the failed read left.
TEST(SessionFreshness, AFailedSetupReadIsNotTrusted) {
    auto sim = start_em235();
    const Opened o = open_session("em235", options(*sim, ",\"setup_max_age_ms\":0"));
    ASSERT_NE(o.session, nullptr) << o.err;
    sim->add_fault(tandrel_sim::Fault::exception_at(IDENTIFICATION));
    EXPECT_EQ(read_v1(o.session).err, "Modbus exception 2");
    sim->clear_faults();
    sim->clear_requests();
    EXPECT_EQ(read_v1(o.session).value, "230.5");
    EXPECT_EQ(requests_at(sim->requests(), IDENTIFICATION), 1);
    EXPECT_EQ(sim->connections_accepted(), 1) << "a whole answer is no reason to reconnect";
    tandrel_close(o.session);
}

TEST(SessionOpen, AnUnknownModelIdFailsTheOpenWithoutAModel) {
    auto sim = start_em235();
    sim->set_identity({1, 999, "X", 0, 0, 0, 0, 0});
    const Opened learnt = open_session("", options(*sim));
    EXPECT_EQ(learnt.session, nullptr);
    EXPECT_EQ(learnt.err, "the meter at 127.0.0.1:" + std::to_string(sim->port()) +
                              " reports model id 999, which is none of em133, em235 or pm335");
    const Opened given = open_session("em235", options(*sim));
    EXPECT_NE(given.session, nullptr) << "a model given is trusted, as by the plain calls";
    tandrel_close(given.session);
    EXPECT_TRUE(tandrel::testing::connections_closed(*sim));
}

// The open's own keys, its failures and the order of its checks; nothing is sent.
TEST(SessionOpen, BadArgumentsSendNothing) {
    auto sim = start_em235();
    const struct {
        const char* host;
        const char* meter;
        std::string options;
        const char* error;
    } cases[] = {
        {nullptr, "em235", options(*sim), "host must not be null"},
        {"127.0.0.1", "em999", options(*sim), "Unknown meter model 'em999' (expected em133 or em235)"},
        {"127.0.0.1", "em999", "{\"port\":0}", "options.port must be 1-65535"},
        {"127.0.0.1", "em235", options(*sim, ",\"setup_max_age_ms\":-1"), "options.setup_max_age_ms must be 0-86400000"},
        {"127.0.0.1", "em235", options(*sim, ",\"setup_max_age_ms\":86400001"), "options.setup_max_age_ms must be 0-86400000"},
        {"127.0.0.1", "em235", options(*sim, ",\"connection\":65536"), "options.connection must be 0-65535"},
        {"127.0.0.1", "em235", options(*sim, ",\"connection\":-1"), "options.connection must be 0-65535"},
    };
    for (const auto& c : cases) {
        char err[256] = "untouched";
        EXPECT_EQ(tandrel_open(c.host, c.meter, c.options.c_str(), err, sizeof err), nullptr);
        EXPECT_STREQ(err, c.error);
    }
    EXPECT_EQ(sim->connections_accepted(), 0);
    const Opened edge = open_session("em235", options(*sim, ",\"setup_max_age_ms\":86400000,\"connection\":65535"));
    EXPECT_NE(edge.session, nullptr) << edge.err;
    tandrel_close(edge.session);
}

}  // namespace
}  // namespace session_testing
