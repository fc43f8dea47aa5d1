// Socket behaviour the transport relies on.
#include "platform/socket.h"

#include <gtest/gtest.h>

#include <thread>

#include "platform/listener.h"

namespace tandrel::platform {
namespace {

TEST(Socket, SendingToAClosedPeerFailsWithoutKillingTheProcess) {
    Listener listener;
    ASSERT_TRUE(listener.open("127.0.0.1", 0));
    Socket client;
    std::uint32_t addr = 0;
    ASSERT_TRUE(parse_ipv4("127.0.0.1", addr));
    ASSERT_EQ(connect_tcp(client, addr, listener.port(), 2000), ConnectStatus::Connected);
    ASSERT_EQ(listener.wait(2000), WaitResult::Ready);
    Socket accepted = listener.accept();
    accepted.close();
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
    Listener listener;
    ASSERT_TRUE(listener.open("127.0.0.1", 0));
    Socket client;
    std::uint32_t addr = 0;
    ASSERT_TRUE(parse_ipv4("127.0.0.1", addr));
    ASSERT_EQ(connect_tcp(client, addr, listener.port(), 2000), ConnectStatus::Connected);
    ASSERT_EQ(listener.wait(2000), WaitResult::Ready);
    Socket accepted = listener.accept();
    const std::uint8_t three[3] = {1, 2, 3};
    ASSERT_TRUE(accepted.send_all(three, 3));
    accepted.close();
    std::uint8_t buf[7];
    EXPECT_FALSE(client.recv_exact(buf, sizeof buf));
}

TEST(Socket, MovingTransfersOwnership) {
    Listener listener;
    ASSERT_TRUE(listener.open("127.0.0.1", 0));
    Socket a;
    std::uint32_t addr = 0;
    ASSERT_TRUE(parse_ipv4("127.0.0.1", addr));
    ASSERT_EQ(connect_tcp(a, addr, listener.port(), 2000), ConnectStatus::Connected);
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
