// The simulated meter the hardening tests call: small logs, so that a call
// makes few requests, and the helpers that look at what a call left behind.
#pragma once

#include <memory>
#include <string>

#include "sim/simulator.h"
#include "support/meter_calls.h"
#include "support/process_info.h"
#include "support/temp_dir.h"

namespace hardening {

using namespace tandrel::testing;
using tandrel_sim::Model;

inline const char* model_name(Model model) { return model == Model::EM133 ? "em133" : "em235"; }

// Data log 1 of 12 records (4 columns, blocks of 5) and an event log of 7
// events; the em133 also gets data logs 2 and 3, which its bulk export reads,
// and the em235 the diagnostics word. keep_requests 0: requests are counted,
// not kept, so that a long soak does not grow the simulator.
inline std::unique_ptr<tandrel_sim::Simulator> start_meter(Model model, const std::string& address = "127.0.0.1",
                                                           std::uint16_t port = 0,
                                                           std::size_t keep_requests = 0) {
    tandrel_sim::SimOptions o = tandrel_sim::SimOptions::deterministic();
    o.default_logs = false;
    o.request_log_limit = keep_requests;
    auto sim = std::make_unique<tandrel_sim::Simulator>(model, o);
    const int records[] = {12, 3, 6};
    for (int file = 1; file <= (model == Model::EM133 ? 3 : 1); ++file) {
        tandrel_sim::DataLogSetup data;
        data.point_ids = {4352, 4353, 5120, 5888};
        data.records = records[file - 1];
        data.records_per_block = 5;
        sim->set_datalog(file, data);
    }
    if (model == Model::EM235) sim->set_diagnostics(DIAGNOSTICS_REGISTER - 1, 1, 0x1234, 0x8001);
    tandrel_sim::EventLogSetup events;
    events.records_per_block = 5;
    for (int i = 0; i < 7; ++i) {
        events.events.push_back({static_cast<std::uint16_t>(0x0100 + i), static_cast<std::uint16_t>(i),
                                 static_cast<std::uint16_t>(i + 1), 1000 * i - 3000,
                                 1767225600u + 60u * static_cast<unsigned>(i)});
    }
    sim->set_eventlog(events);
    sim->start(address, port);
    return sim;
}

inline std::string options_for(const tandrel_sim::Simulator& sim, int timeout_ms) {
    return "{\"port\":" + std::to_string(sim.port()) + ",\"timeout_ms\":" + std::to_string(timeout_ms) + "}";
}

// The simulator has seen every client connection close, so that its own
// sockets do not count as the library's in a descriptor check.
inline bool connections_closed(const tandrel_sim::Simulator& sim) {
    return eventually([&] { return sim.open_connections() == 0; });
}

// Readings carry the time of reading; everything else must match byte for byte.
inline std::string mask_timestamps(std::string text) {
    const std::string key = "\"timestamp\":\"";
    for (std::size_t at = text.find(key); at != std::string::npos; at = text.find(key, at + 1)) {
        const std::size_t begin = at + key.size();
        const std::size_t end = text.find('"', begin);
        if (end == std::string::npos) break;
        text.replace(begin, end - begin, "T");
    }
    return text;
}

}  // namespace hardening
