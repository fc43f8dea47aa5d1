// The simulated meter the hardening tests call: small logs, so that a call
// makes few requests, and the helpers that look at what a call left behind.
#pragma once

#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>
#include <string>

#include "sim/scenario_json.h"
#include "sim/simulator.h"
#include "support/meter_calls.h"
#include "support/sim_connections.h"
#include "support/temp_dir.h"

namespace hardening {

using namespace tandrel::testing;
using tandrel_sim::Model;

// Open descriptors and resident memory of this process, for the checks that
// nothing leaks (-1 where the platform cannot tell).
#ifdef _WIN32
// A Windows build runs under Wine, whose own descriptors in /proc come and
// go with its threads.
inline int open_descriptor_count() { return -1; }
inline long resident_kib() { return -1; }
#else
inline int open_descriptor_count() {
    std::error_code ec;
    std::filesystem::directory_iterator it("/proc/self/fd", ec);
    int n = 0;
    for (; !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) ++n;
    return ec ? -1 : n;
}

inline long resident_kib() {
    std::ifstream status("/proc/self/status");
    long kib = -1;
    for (std::string key; status >> key && key != "VmRSS:";) status.ignore(4096, '\n');
    status >> kib;
    return kib;
}
#endif

inline const char* model_name(Model model) { return model == Model::EM133 ? "em133" : "em235"; }

// The meters of tests/data/hardening: data log 1 of 12 records (4 columns,
// blocks of 5) and an event log of 7 events; the em133 also gets data logs 2
// and 3, which its bulk export reads, and the em235 the diagnostics word.
// keep_requests 0: requests are counted, not kept, so that a long soak does
// not grow the simulator.
inline std::unique_ptr<tandrel_sim::Simulator> start_meter(Model model, const std::string& address = "127.0.0.1",
                                                           std::uint16_t port = 0,
                                                           std::size_t keep_requests = 0) {
    const std::string scenario =
        file_bytes(std::string(TANDREL_TEST_DATA_DIR) + "/hardening/" + model_name(model) + ".json");
    tandrel_sim::SimOptions o = tandrel_sim::read_scenario_head(scenario).options;
    o.request_log_limit = keep_requests;
    auto sim = std::make_unique<tandrel_sim::Simulator>(model, o);
    tandrel_sim::apply_scenario(scenario, *sim);
    sim->start(address, port);
    return sim;
}

inline std::string options_for(const tandrel_sim::Simulator& sim, int timeout_ms) {
    return "{\"port\":" + std::to_string(sim.port()) + ",\"timeout_ms\":" + std::to_string(timeout_ms) + "}";
}

// Readings carry the time of reading; everything else must match byte for byte.
inline std::string mask_timestamps(const std::string& text) {
    static const std::regex TIMESTAMP("\"timestamp\":\"[^\"]*\"");
    return std::regex_replace(text, TIMESTAMP, "\"timestamp\":\"T\"");
}

}  // namespace hardening
