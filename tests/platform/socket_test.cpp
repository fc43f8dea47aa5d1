// Socket behaviour the transport relies on.
#include "platform/socket.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#ifndef _WIN32
#include <pthread.h>
#include <csignal>
#endif

#include "platform/listener.h"

namespace tandrel::platform {
namespace {

// A client connected to a listener, and the accepted server side.
struct Pair {
    Listener listener;
    Socket client;
    Socket server;
};

void connect_pair(Pair& p, int timeout_ms = 2000) {
    ASSERT_TRUE(p.listener.open("127.0.0.1", 0));
    std::uint32_t addr = 0;
    ASSERT_TRUE(parse_ipv4("127.0.0.1", addr));
    ASSERT_EQ(connect_tcp(p.client, addr, p.listener.port(), timeout_ms), ConnectStatus::Connected);
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

#ifndef _WIN32
std::atomic<int> signals_taken{0};
extern "C" void count_signal(int) { ++signals_taken; }

// Interrupts one thread with SIGUSR1 every millisecond, through a handler
// installed without SA_RESTART as a host's timer or profiler might, until
// destroyed or for at most five seconds.
class SignalStorm {
public:
    explicit SignalStorm(pthread_t target) {
        struct sigaction action {};
        action.sa_handler = count_signal;
        sigemptyset(&action.sa_mask);
        sigaction(SIGUSR1, &action, &previous_);
        signals_taken = 0;
        thread_ = std::thread([this, target] {
            const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
            while (!stop_ && std::chrono::steady_clock::now() < end) {
                pthread_kill(target, SIGUSR1);
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        });
    }
    ~SignalStorm() {
        stop_ = true;
        thread_.join();
        sigaction(SIGUSR1, &previous_, nullptr);
    }

private:
    std::atomic<bool> stop_{false};
    std::thread thread_;
    struct sigaction previous_ {};
};

// A signal cuts a blocking wait short; the wait must then go on only for
// what is left of its time-out, or a stream of signals holds it forever.
TEST(Socket, WaitsEndNearTheirTimeOutUnderASignalStorm) {
    const struct {
        const char* name;
        bool (*wait)(Socket& client);
    } waits[] = {
        {"receive from a silent peer",
         [](Socket& c) {
             std::uint8_t buf[7];
             return c.recv_exact(buf, sizeof buf);
         }},
        {"send to a peer that never reads",
         [](Socket& c) {
             const std::vector<std::uint8_t> data(64u << 20, 0x55);
             return c.send_all(data.data(), data.size());
         }},
    };
    constexpr int TIMEOUT_MS = 300;
    for (const auto& w : waits) {
        SCOPED_TRACE(w.name);
        Pair p;
        ASSERT_NO_FATAL_FAILURE(connect_pair(p, TIMEOUT_MS));
        bool ok = true;
        const auto start = std::chrono::steady_clock::now();
        {
            SignalStorm storm(pthread_self());
            ok = w.wait(p.client);
        }
        const long elapsed_ms = static_cast<long>(
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                  start)
                .count());
        EXPECT_FALSE(ok);
        EXPECT_GT(signals_taken.load(), 50) << "the storm did not reach the waiting thread";
        // Restarting the whole time-out at each signal ends only after the
        // storm's five seconds; what is left of one time-out ends far sooner.
        EXPECT_LT(elapsed_ms, TIMEOUT_MS * 6);
    }
}
#endif

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
