// What the network benchmarks share: one in-process simulator per process on
// loopback, the options text that points the library at it, a request
// counter read from the simulator, and libmodbus as the peer client.
#pragma once

#include <benchmark/benchmark.h>
#include <arpa/inet.h>
#include <modbus.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "sim/simulator.h"

namespace bench {

constexpr const char* LOOPBACK = "127.0.0.1";
constexpr std::uint16_t CHUNK = 120;  // the library's largest read; the peer reads the same

// A deterministic meter listening on an ephemeral loopback port. Timed runs
// keep no request log (requests are still counted); request-sequence checks do.
inline std::unique_ptr<tandrel_sim::Simulator> start_simulator(tandrel_sim::Model model,
                                                               bool keep_log) {
    tandrel_sim::SimOptions options = tandrel_sim::SimOptions::deterministic();
    if (!keep_log) options.request_log_limit = 0;
    auto sim = std::make_unique<tandrel_sim::Simulator>(model, options);
    sim->start(LOOPBACK, 0);
    return sim;
}

// One timing meter per model, kept for the whole run so that start-up stays
// out of every measurement.
inline tandrel_sim::Simulator& simulator(tandrel_sim::Model model) {
    static std::map<tandrel_sim::Model, std::unique_ptr<tandrel_sim::Simulator>> sims;
    auto& slot = sims[model];
    if (!slot) slot = start_simulator(model, false);
    return *slot;
}

inline std::string options_text(std::uint16_t port) {
    return "{\"port\":" + std::to_string(port) + ",\"timeout_ms\":5000}";
}

// Requests the simulator served since construction, averaged per iteration
// when stored as a counter.
class RequestCount {
public:
    explicit RequestCount(const tandrel_sim::Simulator& sim)
        : sim_(sim), start_(sim.requests_served()) {}
    void report(benchmark::State& state, double least_allowed) const {
        const double served = static_cast<double>(sim_.requests_served() - start_);
        state.counters["requests"] = benchmark::Counter(served, benchmark::Counter::kAvgIterations);
        state.counters["least_requests"] = least_allowed;
    }

private:
    const tandrel_sim::Simulator& sim_;
    std::uint64_t start_;
};

// Wall time of every iteration, for the median per call. On a shared machine
// a few scheduling stalls of milliseconds would otherwise make the mean of
// calls that take microseconds.
class CallTimes {
public:
    void start() { started_ = std::chrono::steady_clock::now(); }
    void stop() {
        const auto elapsed = std::chrono::steady_clock::now() - started_;
        times_.push_back(std::chrono::duration<double, std::nano>(elapsed).count());
    }
    void report(benchmark::State& state) {
        if (times_.empty()) return;
        const auto middle = times_.begin() + static_cast<std::ptrdiff_t>(times_.size() / 2);
        std::nth_element(times_.begin(), middle, times_.end());
        state.counters["median_ns"] = *middle;
    }

private:
    std::chrono::steady_clock::time_point started_;
    std::vector<double> times_;
};

// A bare socket to the simulator: the floor under any client. Closed on every path.
class RawSocket {
public:
    explicit RawSocket(std::uint16_t port) : fd_(::socket(AF_INET, SOCK_STREAM, 0)) {
        if (fd_ < 0) throw std::runtime_error("socket failed");
        const int one = 1;
        setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(port);
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(fd_, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
            ::close(fd_);
            throw std::runtime_error("connect failed");
        }
    }
    ~RawSocket() { ::close(fd_); }
    RawSocket(const RawSocket&) = delete;
    RawSocket& operator=(const RawSocket&) = delete;

    void send_frame(const std::uint8_t* frame, std::size_t size) {
        if (::send(fd_, frame, size, MSG_NOSIGNAL) != static_cast<ssize_t>(size)) {
            throw std::runtime_error("send failed");
        }
    }
    void receive(std::uint8_t* into, std::size_t size) {
        for (std::size_t got = 0; got < size;) {
            const ssize_t n = ::recv(fd_, into + got, size - got, 0);
            if (n <= 0) throw std::runtime_error("recv failed");
            got += static_cast<std::size_t>(n);
        }
    }

    // One answer whole, as long as its header says; false on a length out of range.
    bool receive_frame(std::vector<std::uint8_t>& frame) {
        frame.resize(7);
        receive(frame.data(), 7);
        const std::size_t length = (static_cast<std::size_t>(frame[4]) << 8) | frame[5];
        if (length < 2 || length > 254) return false;
        frame.resize(6 + length);
        receive(frame.data() + 7, length - 1);
        return true;
    }

private:
    int fd_;
};

// libmodbus's TCP context, freed on every path.
class PeerClient {
public:
    explicit PeerClient(std::uint16_t port) : ctx_(modbus_new_tcp(LOOPBACK, port)) {
        if (ctx_ == nullptr) throw std::runtime_error("modbus_new_tcp failed");
        modbus_set_slave(ctx_, 1);
        modbus_set_response_timeout(ctx_, 5, 0);
        if (modbus_connect(ctx_) != 0) {
            modbus_free(ctx_);
            throw std::runtime_error(std::string("modbus_connect: ") + modbus_strerror(errno));
        }
    }
    ~PeerClient() {
        modbus_close(ctx_);
        modbus_free(ctx_);
    }
    PeerClient(const PeerClient&) = delete;
    PeerClient& operator=(const PeerClient&) = delete;

    // The same chunking as read_words: requests of at most CHUNK registers.
    void read_words(std::uint16_t address, int count, std::vector<std::uint16_t>& into) {
        into.resize(static_cast<std::size_t>(count));
        for (int done = 0; done < count; done += CHUNK) {
            const int n = count - done < CHUNK ? count - done : CHUNK;
            const int addr = (address + done) & 0xFFFF;
            if (modbus_read_registers(ctx_, addr, n, into.data() + done) != n) fail("read");
        }
    }
    void write_registers(std::uint16_t address, const std::vector<std::uint16_t>& values) {
        const int n = static_cast<int>(values.size());
        if (modbus_write_registers(ctx_, address, n, values.data()) != n) fail("write");
    }
    void write_register(std::uint16_t address, std::uint16_t value) {
        if (modbus_write_register(ctx_, address, value) != 1) fail("write single");
    }

private:
    [[noreturn]] static void fail(const char* what) {
        throw std::runtime_error(std::string("libmodbus ") + what + ": " + modbus_strerror(errno));
    }
    modbus_t* ctx_;
};

}  // namespace bench
