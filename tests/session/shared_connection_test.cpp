// Sessions that share one connection ("connection" in the options): units
// behind one gateway address. One TCP connection for all, each session with
// its own unit id and setup, calls in turn, a reconnect after a break that
// every sharer follows with a read of its own setup.
#include <gtest/gtest.h>

#include <chrono>
#include <future>

#include "session_test_meter.h"
#include "support/sim_connections.h"

namespace session_testing {
namespace {

using tandrel_sim::Fault;
using tandrel_sim::reg::EM235_PT_RATIO;
using tandrel_sim::reg::IDENTIFICATION;

// Unit 2 refuses the ratio register: its V1 reads in whole volts (the
// defaults), unit 1's in tenths. A session given the other's setup would
// print the other's text.
// Each session read its own unit's identity once in the log.
void expect_each_identity_once(const std::vector<Request>& log) {
    EXPECT_EQ(requests_at(log, IDENTIFICATION, 1), 1);
    EXPECT_EQ(requests_at(log, IDENTIFICATION, 2), 1);
}

struct TwoUnits : ::testing::Test {
    void SetUp() override {
        sim->add_fault(Fault::exception_at(EM235_PT_RATIO).for_unit(2));
        unit1 = open_session("em235", options(*sim, ",\"unit_id\":1,\"connection\":7"));
        unit2 = open_session("em235", options(*sim, ",\"unit_id\":2,\"connection\":7"));
        ASSERT_NE(unit1.session, nullptr) << unit1.err;
        ASSERT_NE(unit2.session, nullptr) << unit2.err;
    }
    void TearDown() override {
        tandrel_close(unit1.session);
        tandrel_close(unit2.session);
        EXPECT_TRUE(tandrel::testing::connections_closed(*sim)) << "the last close left it open";
    }

    std::unique_ptr<Simulator> sim = start_em235();
    Opened unit1, unit2;
};

TEST_F(TwoUnits, OneConnectionEachUnitItsOwnSetup) {
    EXPECT_EQ(read_v1(unit1.session).value, "230.5");
    EXPECT_EQ(read_v1(unit2.session).value, "2305");
    EXPECT_EQ(read_v1(unit1.session).value, "230.5");
    EXPECT_EQ(sim->connections_accepted(), 1);
    expect_each_identity_once(sim->requests());
}

TEST_F(TwoUnits, TheConnectionLastsUntilTheLastSessionCloses) {
    tandrel_close(unit1.session);
    EXPECT_EQ(read_v1(unit2.session).value, "2305");
    EXPECT_EQ(sim->connections_accepted(), 1);
    EXPECT_EQ(sim->open_connections(), 1);
}

// A break fails the call in hand; the next call of either session connects
// once more, and each reads its own identity and setup on the new connection.
TEST_F(TwoUnits, ABreakReconnectsOnceForAllSharers) {
    sim->add_fault(Fault::close_at_request(static_cast<int>(sim->requests().size()) + 1));
    EXPECT_EQ(read_v1(unit1.session).err, "No values could be read: socket recv failed");
    sim->clear_requests();
    EXPECT_EQ(read_v1(unit2.session).value, "2305");
    EXPECT_EQ(read_v1(unit1.session).value, "230.5");
    EXPECT_EQ(sim->connections_accepted(), 2);
    expect_each_identity_once(sim->requests());
    for (const Request& r : sim->requests()) EXPECT_EQ(r.connection, 2);
}

// Unit 1's data-log read is held in its callback with blocks still to read;
// unit 2's live read, tried meanwhile, waits for its turn instead of failing
// or slipping its requests between unit 1's.
TEST_F(TwoUnits, CallsTakeTurns) {
    sim->clear_requests();
    std::future<Reading> second;
    {
        HeldRead first(unit1.session);
        second = std::async(std::launch::async, [&] { return read_v1(unit2.session); });
        EXPECT_EQ(second.wait_for(std::chrono::milliseconds(200)), std::future_status::timeout)
            << "the second session's call did not wait for its turn";
        EXPECT_GT(first.result().status, 0);
    }
    EXPECT_EQ(second.get().value, "2305");
    const std::vector<Request> log = sim->requests();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.front().unit_id, 1);
    EXPECT_EQ(log.back().unit_id, 2);
    bool unit2_seen = false;
    for (const Request& r : log) {
        unit2_seen = unit2_seen || r.unit_id == 2;
        EXPECT_FALSE(unit2_seen && r.unit_id == 1) << "requests of the two calls interleaved";
    }
}

// Another number, or none, is a connection of its own.
TEST(SharedConnection, OtherNumbersConnectApart) {
    auto sim = start_em235();
    const Opened a = open_session("em235", options(*sim, ",\"connection\":1"));
    const Opened b = open_session("em235", options(*sim, ",\"connection\":2"));
    const Opened c = open_session("em235", options(*sim));
    const Opened d = open_session("em235", options(*sim));
    for (const Opened* o : {&a, &b, &c, &d}) {
        ASSERT_NE(o->session, nullptr) << o->err;
        EXPECT_EQ(read_v1(o->session).value, "230.5");
        tandrel_close(o->session);
    }
    EXPECT_EQ(sim->connections_accepted(), 4);
}

}  // namespace
}  // namespace session_testing
