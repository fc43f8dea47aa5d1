// Socket behaviour the transport relies on and the client tests cannot see.
#include "platform/socket.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
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
    Socket client, server;
};

void connect_pair(Pair& p, int timeout_ms) {
    ASSERT_TRUE(p.listener.open("127.0.0.1", 0));
    std::uint32_t addr = 0;
    ASSERT_TRUE(parse_ipv4("127.0.0.1", addr));
    ASSERT_EQ(connect_tcp(p.client, addr, p.listener.port(), timeout_ms), ConnectStatus::Connected);
    ASSERT_EQ(p.listener.wait(2000), WaitResult::Ready);
    p.server = p.listener.accept();
}

// A broken pipe must be a failed send, never a signal that ends the host. A
// receive cut short by a close is seen by the client tests (tests/modbus).
TEST(Socket, SendingToAPeerThatClosedFailsWithoutKillingTheProcess) {
    Pair p;
    ASSERT_NO_FATAL_FAILURE(connect_pair(p, 2000));
    p.server.close();
    const std::vector<std::uint8_t> data(65536, 0x55);
    bool failed = false;
    for (int i = 0; i < 200 && !failed; ++i) {
        failed = !p.client.send_all(data.data(), data.size());
        std::this_thread::sleep_for(std::chrono::milliseconds(failed ? 0 : 5));
    }
    EXPECT_TRUE(failed);
}

#ifndef _WIN32
std::atomic<int> signals_taken{0};
extern "C" void count_signal(int) { ++signals_taken; }

// Runs wait while another thread interrupts this one with SIGUSR1 every
// millisecond (for at most ten seconds), through a handler installed
// without SA_RESTART as a host's timer or profiler might.
bool under_signal_storm(const std::function<bool()>& wait) {
    struct sigaction action = {};
    struct sigaction previous = {};
    action.sa_handler = count_signal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGUSR1, &action, &previous);
    signals_taken = 0;
    std::atomic<bool> stop{false};
    const pthread_t target = pthread_self();
    std::thread storm([&] {
        for (int i = 0; i < 10000 && !stop; ++i) {
            pthread_kill(target, SIGUSR1);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    const bool ok = wait();
    stop = true;
    storm.join();
    sigaction(SIGUSR1, &previous, nullptr);
    return ok;
}

// A listener on loopback that answers no further connect: it never accepts,
// and once its backlog is full the system drops every new connection request,
// so a connect to it stays pending until its time-out.
struct FullListener {
    Listener listener;
    std::vector<Socket> queued;
    std::uint32_t addr = 0;

    // True once a connect of 200 ms timed out.
    bool fill() {
        if (!listener.open("127.0.0.1", 0, 0) || !parse_ipv4("127.0.0.1", addr)) return false;
        for (int i = 0; i < 16; ++i) {
            Socket s;
            const ConnectStatus status = connect_tcp(s, addr, listener.port(), 200);
            if (status == ConnectStatus::TimedOut) return true;
            if (status != ConnectStatus::Connected) return false;
            queued.push_back(std::move(s));
        }
        return false;
    }
};

// A signal cuts a blocking wait short; the wait must then go on only for
// what is left of its time-out, or a stream of signals holds it forever.
TEST(Socket, WaitsEndNearTheirTimeOutUnderASignalStorm) {
    const std::vector<std::uint8_t> big(64u << 20, 0x55);
    std::uint8_t buf[7];
    enum class Wait { Receive, Send, Connect };
    // From a silent peer, to one that never reads, to one that never answers.
    for (const Wait wait : {Wait::Receive, Wait::Send, Wait::Connect}) {
        const char* what = wait == Wait::Receive ? "receive" : wait == Wait::Send ? "send" : "connect";
        Pair p;
        FullListener full;
        if (wait == Wait::Connect) {
            ASSERT_TRUE(full.fill()) << "no pending connect on loopback";
        } else {
            ASSERT_NO_FATAL_FAILURE(connect_pair(p, 300));
        }
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(under_signal_storm([&] {
            switch (wait) {
            case Wait::Receive: return p.client.recv_exact(buf, sizeof buf);
            case Wait::Send: return p.client.send_all(big.data(), big.size());
            case Wait::Connect:
                return connect_tcp(p.client, full.addr, full.listener.port(), 300) !=
                       ConnectStatus::TimedOut;
            }
            return true;
        })) << what;
        EXPECT_GT(signals_taken.load(), 20) << what << ": the storm did not reach the waiting thread";
        // Restarting the whole time-out at each signal ends only after the
        // storm's ten seconds; what is left of one time-out ends long before.
        const auto spent = std::chrono::steady_clock::now() - start;
        EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(spent).count(), 4000) << what;
    }
}
#endif

}  // namespace
}  // namespace tandrel::platform
