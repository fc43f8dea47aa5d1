// The listening side of the simulator: one thread accepts, one thread per
// connection reads requests, asks the core for the answer and sends it.
// Every wait is bounded, so stop() returns within a fraction of a second.
#pragma once

#include <atomic>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/listener.h"

namespace tandrel_sim {

class SimulatorCore;

class Server {
public:
    explicit Server(SimulatorCore& core) : core_(core) {}
    ~Server() { stop(); }
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // Throws std::runtime_error when the address cannot be bound.
    void start(const std::string& address, std::uint16_t port);
    void stop();
    std::uint16_t port() const { return port_; }

private:
    struct Connection {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };

    void accept_loop();
    void serve(tandrel::platform::Socket sock, int id, std::shared_ptr<std::atomic<bool>> done);
    void reap_finished();

    SimulatorCore& core_;
    tandrel::platform::Listener listener_;
    std::uint16_t port_ = 0;
    std::atomic<bool> stopping_{false};
    std::thread accept_thread_;
    std::mutex connections_mu_;
    std::list<Connection> connections_;
};

}  // namespace tandrel_sim
