// Socket behaviour the transport relies on.
#include "platform/socket.h"

#include <gtest/gtest.h>

#include <thread>

#include "platform/listener.h"

namespace tandrel::platform {
namespace {

// A client connected to a listener, and the accepted server side.
struct Pair {
    Listener listener;
    Socket client;
    Socket server;
};

void connect_pair(Pair& p) {
    ASSERT_TRUE(p.listener.open("127.0.0.1", 0));
    std::uint32_t addr = 0;
    ASSERT_TRUE(parse_ipv4("127.0.0.1", addr));
    ASSERT_EQ(connect_tcp(p.client, addr, p.listener.port(), 2000), ConnectStatus::Connected);
    ASSERT_EQ(p.listener.wait(2000), WaitResult::Ready);
    p.server = p.listener.accept();
}

TEST(Socket, SendingToAClosedPeerFailsWithoutKillingTheProcess) {
    Pair p;
    ASSERT_NO_FATAL_FAILURE(connect_pair(p));
    Socket& client = p.client;
    p.server.close();
    // A broken pipe must be a failed send, never a signal that ends the host.
    const std::vector<std::uint8_t> data(65536, 0x55);
    bool failed = false;
    for (int i = 0; i < 200 && !failed; ++i) {
        failed = !client.send_all(data.data(), data.size());
        if (!failed) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_TRUE(failed);
}

TEST(Socket, RecvExactFailsWhenThePeerClosesEarly) {
    Pair p;
    ASSERT_NO_FATAL_FAILURE(connect_pair(p));
    const std::uint8_t three[3] = {1, 2, 3};
    ASSERT_TRUE(p.server.send_all(three, 3));
    p.server.close();
    std::uint8_t buf[7];
    EXPECT_FALSE(p.client.recv_exact(buf, sizeof buf));
}

TEST(Socket, MovingTransfersOwnership) {
    Pair p;
    ASSERT_NO_FATAL_FAILURE(connect_pair(p));
    Socket& a = p.client;
    Socket b(std::move(a));
    EXPECT_FALSE(a.valid());
    EXPECT_TRUE(b.valid());
}

TEST(Resolve, EmptyAndIpv6NamesNeverResolve) {
    std::uint32_t addr = 0;
    EXPECT_FALSE(resolve_ipv4("", addr));
    EXPECT_FALSE(parse_ipv4("::1", addr));
    EXPECT_FALSE(resolve_ipv4("::1", addr));
    ASSERT_TRUE(resolve_ipv4("localhost", addr));
    EXPECT_EQ(addr & 0xFF, 127u);  // network byte order: first octet lowest in memory
}

}  // namespace
}  // namespace tandrel::platform
