// Accept loop and connection threads; see server.h.
#include "server.h"

#include <algorithm>
#include <chrono>
#include <stdexcept>
#include <vector>

#include "simulator_core.h"

namespace tandrel_sim {

namespace {

using tandrel::platform::Socket;
using tandrel::platform::WaitResult;

constexpr int WAIT_SLICE_MS = 50;

// Sleeps until the delay is over, in slices, so that a stop is noticed soon.
void delay(int delay_ms, const std::atomic<bool>& stopping) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point until = Clock::now() + std::chrono::milliseconds(delay_ms);
    constexpr Clock::duration SLICE = std::chrono::milliseconds(10);
    for (Clock::time_point now = Clock::now(); now < until && !stopping; now = Clock::now()) {
        std::this_thread::sleep_for(std::min(SLICE, until - now));
    }
}

bool send_delivery(Socket& sock, const Delivery& d, const std::atomic<bool>& stopping) {
    delay(d.delay_ms, stopping);
    if (d.frame.empty()) return true;
    if (!d.one_byte_segments) return sock.send_all(d.frame.data(), d.frame.size());
    // The short pause keeps the bytes from merging in the peer's receive
    // queue, so that the peer really reads them one by one.
    for (std::uint8_t byte : d.frame) {
        if (!sock.send_all(&byte, 1)) return false;
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    return true;
}

}  // namespace

void Server::start(const std::string& address, std::uint16_t port) {
    stop();
    if (!listener_.open(address, port)) {
        throw std::runtime_error("Cannot listen on " + address + ":" + std::to_string(port));
    }
    port_ = listener_.port();
    stopping_ = false;
    accept_thread_ = std::thread([this] { accept_loop(); });
}

void Server::stop() {
    stopping_ = true;
    if (accept_thread_.joinable()) accept_thread_.join();
    std::list<Connection> all;
    {
        std::lock_guard<std::mutex> lock(connections_mu_);
        all.swap(connections_);
    }
    for (Connection& c : all) c.thread.join();
    listener_.close();
}

void Server::accept_loop() {
    while (!stopping_) {
        const WaitResult w = listener_.wait(WAIT_SLICE_MS);
        reap_finished();
        if (w == WaitResult::Failed) break;
        if (w != WaitResult::Ready) continue;
        Socket sock = listener_.accept();
        if (!sock.valid()) continue;
        const int id = ++core_.accepted;
        ++core_.open;
        auto done = std::make_shared<std::atomic<bool>>(false);
        std::lock_guard<std::mutex> lock(connections_mu_);
        connections_.push_back({std::thread([this, s = std::move(sock), id, done]() mutable {
                                    serve(std::move(s), id, done);
                                }),
                                done});
    }
}

void Server::reap_finished() {
    std::lock_guard<std::mutex> lock(connections_mu_);
    for (auto it = connections_.begin(); it != connections_.end();) {
        if (*it->done) {
            it->thread.join();
            it = connections_.erase(it);
        } else {
            ++it;
        }
    }
}

void Server::serve(Socket sock, int id, std::shared_ptr<std::atomic<bool>> done) {
    ConnectionState conn;
    conn.id = id;
    std::vector<std::uint8_t> buffer;
    std::uint8_t chunk[4096];
    while (!stopping_) {
        Frame frame;
        std::size_t used = 0;
        const ParseStatus st = parse_frame(buffer.data(), buffer.size(), frame, used);
        if (st == ParseStatus::Malformed) break;
        if (st == ParseStatus::Complete) {
            buffer.erase(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(used));
            const Delivery d = core_.handle(frame, conn);
            if (!send_delivery(sock, d, stopping_) || d.close_after) break;
            continue;
        }
        const WaitResult w = tandrel::platform::wait_readable(sock, WAIT_SLICE_MS);
        if (w == WaitResult::Failed) break;
        if (w == WaitResult::TimedOut) continue;
        const long n = tandrel::platform::recv_some(sock, chunk, sizeof chunk);
        if (n <= 0) break;
        buffer.insert(buffer.end(), chunk, chunk + n);
    }
    sock.close();
    --core_.open;
    *done = true;
}

}  // namespace tandrel_sim
