// The state behind a Simulator: registers, logs, clock, diagnostics word,
// fault table and request log under one mutex, and the answer to each
// request. The server threads call handle(); the test thread configures.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "fault_table.h"
#include "file_transfer.h"
#include "log_store.h"
#include "meter_values.h"
#include "register_map.h"
#include "sim_frame.h"
#include "simulator.h"

namespace tandrel_sim {

class Server;

// Per-connection state, owned by its server thread.
struct ConnectionState {
    int id = 0;
    int requests = 0;
    TransferState transfer;
};

struct Diagnostics {
    bool enabled = false;
    std::uint16_t address = 0;
    std::uint8_t unit_id = 1;
    std::uint16_t word0 = 0;
    std::uint16_t word1 = 0;
};

class SimulatorCore {
public:
    SimulatorCore(Model model, SimOptions options);
    ~SimulatorCore();

    Delivery handle(const Frame& frame, ConnectionState& conn);

    Model model;
    SimOptions options;
    std::unique_ptr<Server> server;

    // Everything below is guarded by mu.
    mutable std::mutex mu;
    RegisterMap regs;
    LogMap logs;
    std::uint32_t next_generation = 1;
    Diagnostics diagnostics;
    FaultTable faults;
    std::vector<Request> request_log;
    std::uint64_t served = 0;
    std::function<void(const std::string&)> trace;
    bool values_dirty = true;

    void install_log(int file, LogFile f);
    void set_clock_locked(std::int64_t seconds);
    std::int64_t clock_now_locked() const;
    Resolution resolution_locked() const;
    void refresh_values_locked();

    std::atomic<int> accepted{0};
    std::atomic<int> open{0};

private:
    std::vector<std::uint8_t> execute(const PduRequest& req, std::uint8_t unit, ConnectionState& conn);
    std::vector<std::uint8_t> read(const PduRequest& req, std::uint8_t unit, ConnectionState& conn);
    int read_registers(std::uint16_t address, int count, std::uint8_t unit,
                       std::vector<std::uint16_t>& out);
    int write_registers(std::uint16_t address, const std::vector<std::uint16_t>& values);
    void write_clock(std::uint16_t address, const std::vector<std::uint16_t>& values);
    void record(const ConnectionState& conn, const Frame& frame, const PduRequest& req);
    void trace_answer(const ConnectionState& conn, const Frame& frame, const PduRequest& req,
                      const Delivery& d);

    std::int64_t clock_base_ = 0;
    std::chrono::steady_clock::time_point clock_anchor_;
    std::chrono::steady_clock::time_point last_refresh_;
};

}  // namespace tandrel_sim
