// A session used the wrong way: handles that are closed, never opened or
// null; two calls at once, from two threads or from a callback; a close while
// a call runs, from another thread or from the call's own callback. Each gets
// a clear error, sends nothing it should not, and never crashes.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <future>
#include <thread>

#include "session_test_meter.h"
#include "support/sim_connections.h"

namespace session_testing {
namespace {

int TANDREL_CALL accept_line(const char*, void*) { return 0; }

CallStatus read_live(tandrel_session* s) {
    std::vector<char> out(1 << 16);
    char err[256] = "";
    const int status = tandrel_session_read_live(s, out.data(), static_cast<int>(out.size()), err, sizeof err);
    return {status, err};
}

TEST(SessionMisuse, ClosedNeverOpenedAndNullHandles) {
    auto sim = start_em235();
    const Opened o = open_session("em235", options(*sim));
    ASSERT_NE(o.session, nullptr) << o.err;
    tandrel_close(o.session);
    tandrel_close(o.session);  // a second close does nothing
    tandrel_close(nullptr);
    // The slot is taken again at once; the old handle must not reach the new session.
    const Opened reopened = open_session("em235", options(*sim));
    ASSERT_NE(reopened.session, nullptr) << reopened.err;
    sim->clear_requests();
    const std::uintptr_t never = (std::uintptr_t{1} << 20) | 0x5A5A;
    EXPECT_EQ(read_live(o.session).err, "Invalid session handle");
    EXPECT_EQ(read_live(reinterpret_cast<tandrel_session*>(never)).err, "Invalid session handle");
    EXPECT_EQ(read_live(reinterpret_cast<tandrel_session*>(std::uintptr_t{1})).err, "Invalid session handle");
    EXPECT_EQ(read_live(nullptr).err, "session must not be null");
    EXPECT_EQ(read_live(nullptr).status, -1);
    char err[64] = "";
    EXPECT_EQ(tandrel_session_read_datalog(o.session, 1, accept_line, nullptr, err, sizeof err), -1);
    EXPECT_STREQ(err, "Invalid session handle");
    EXPECT_TRUE(sim->requests().empty()) << "a refused handle sent requests";
    EXPECT_EQ(read_live(reopened.session).status, 61);
    tandrel_close(reopened.session);
    EXPECT_TRUE(tandrel::testing::connections_closed(*sim));
}

// The session call's own null arguments, after the handle, before any request.
TEST(SessionMisuse, NullArgumentsSendNothing) {
    auto sim = start_em235();
    const Opened o = open_session("em235", options(*sim));
    ASSERT_NE(o.session, nullptr) << o.err;
    sim->clear_requests();
    char out[8];
    char err[64];
    EXPECT_EQ(tandrel_session_read_live(o.session, nullptr, 10, err, sizeof err), -1);
    EXPECT_STREQ(err, "out must not be null");
    EXPECT_EQ(tandrel_session_read_points(o.session, nullptr, out, sizeof out, err, sizeof err), -1);
    EXPECT_STREQ(err, "points must not be null");
    EXPECT_EQ(tandrel_session_read_eventlog(o.session, 0, nullptr, nullptr, err, sizeof err), -1);
    EXPECT_STREQ(err, "cb must not be null");
    EXPECT_EQ(tandrel_session_export_eventlog(o.session, 0, nullptr, nullptr, nullptr, err, sizeof err), -1);
    EXPECT_STREQ(err, "csv_path must not be null");
    EXPECT_EQ(tandrel_session_read_device_info(nullptr, nullptr, 0, err, sizeof err), -1);
    EXPECT_STREQ(err, "session must not be null");
    EXPECT_TRUE(sim->requests().empty());
    tandrel_close(o.session);
}

TEST(SessionMisuse, ASecondThreadGetsInUseAndSendsNothing) {
    auto sim = start_em235();
    const Opened o = open_session("em235", options(*sim));
    ASSERT_NE(o.session, nullptr) << o.err;
    HeldRead held(o.session);
    const std::uint64_t before = sim->requests_served();
    const CallStatus second = read_live(o.session);
    EXPECT_EQ(second.status, -1);
    EXPECT_EQ(second.err, "Session is in use by another call");
    EXPECT_EQ(sim->requests_served(), before) << "the refused call sent requests";
    const CallStatus first = held.result();
    EXPECT_GT(first.status, 0) << first.err;
    EXPECT_EQ(read_live(o.session).status, 61) << "the session stayed marked in use";
    tandrel_close(o.session);
}

struct Reentry {
    tandrel_session* session;
    CallStatus inner;
};

int TANDREL_CALL call_again(const char*, void* user) {
    auto* r = static_cast<Reentry*>(user);
    if (r->inner.err.empty()) r->inner = read_live(r->session);
    return 0;
}

TEST(SessionMisuse, ACallFromItsOwnCallbackGetsInUse) {
    auto sim = start_em235();
    const Opened o = open_session("em235", options(*sim));
    ASSERT_NE(o.session, nullptr) << o.err;
    Reentry r{o.session, {}};
    char err[256] = "";
    EXPECT_GT(tandrel_session_read_eventlog(o.session, 0, call_again, &r, err, sizeof err), 0) << err;
    EXPECT_EQ(r.inner.status, -1);
    EXPECT_EQ(r.inner.err, "Session is in use by another call");
    tandrel_close(o.session);
}

// The running call waits for a reply that never comes (60 s time-out); the
// close shuts its socket down and the call fails with the break at once.
TEST(SessionMisuse, CloseFromAnotherThreadEndsTheRunningCall) {
    auto sim = start_em235();
    const Opened o = open_session("em235", options(*sim, "", 60000));
    ASSERT_NE(o.session, nullptr) << o.err;
    sim->add_fault(tandrel_sim::Fault::silence_at_request(sim->requests().size() + 1));
    const std::uint64_t before = sim->requests_served();
    auto running = std::async(std::launch::async, [&] { return read_live(o.session); });
    while (sim->requests_served() == before) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    tandrel_close(o.session);
    ASSERT_EQ(running.wait_for(NO_HANG), std::future_status::ready) << "close did not end the call";
    const CallStatus r = running.get();
    EXPECT_EQ(r.status, -1);
    EXPECT_EQ(r.err, "No values could be read: socket recv failed");
    EXPECT_EQ(read_live(o.session).err, "Invalid session handle");
    EXPECT_TRUE(tandrel::testing::connections_closed(*sim));
}

int TANDREL_CALL close_own_session(const char*, void* user) {
    tandrel_close(static_cast<tandrel_session*>(user));
    return 0;
}

TEST(SessionMisuse, CloseFromTheCallsOwnCallback) {
    auto sim = start_em235();
    const Opened o = open_session("em235", options(*sim));
    ASSERT_NE(o.session, nullptr) << o.err;
    char err[256] = "";
    EXPECT_EQ(tandrel_session_read_datalog(o.session, 1, close_own_session, o.session, err, sizeof err), -1);
    EXPECT_STREQ(err, "socket send failed");
    EXPECT_EQ(read_live(o.session).err, "Invalid session handle");
    EXPECT_TRUE(tandrel::testing::connections_closed(*sim));
}

// Sessions of their own connections run side by side: one held in its
// callback does not keep another from reading.
TEST(SessionMisuse, DifferentSessionsRunInParallel) {
    auto sim = start_em235();
    const Opened a = open_session("em235", options(*sim));
    const Opened b = open_session("em235", options(*sim));
    ASSERT_NE(a.session, nullptr) << a.err;
    ASSERT_NE(b.session, nullptr) << b.err;
    HeldRead held(a.session);
    EXPECT_EQ(read_live(b.session).status, 61);
    EXPECT_GT(held.result().status, 0);
    EXPECT_EQ(sim->connections_accepted(), 2);
    tandrel_close(a.session);
    tandrel_close(b.session);
}

}  // namespace
}  // namespace session_testing
