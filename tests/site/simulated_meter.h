// A MeterState as the service would make it from one poll of a simulated
// meter: its identity and live set read through a MeterSession, so that the
// values are the simulator's. Also gives the library's live document.
#pragma once

#include <nlohmann/json.hpp>

#include <chrono>
#include <stdexcept>
#include <string>

#include "meter_session.h"
#include "meter_state.h"

namespace tandrel_site::testing {

inline MeterState simulated_meter_state(const std::string& name, int port, std::string* live = nullptr) {
    MeterTarget target{"127.0.0.1", "", options_text(port, -1, 0), "127.0.0.1:" + std::to_string(port)};
    MeterSession session;
    CallResult info = session.open(target);
    CallResult readings = session.fetch(tandrel_session_read_live);
    if (info.status < 0 || readings.status < 0) throw std::runtime_error(info.error + readings.error);
    auto identity = nlohmann::json::parse(info.text);
    MeterState meter;
    meter.name = name;
    meter.address = target.address;
    meter.serial = std::to_string(identity["serial"].get<long>());
    meter.model = identity["model_name"].get<std::string>();
    meter.up = true;
    meter.polls = 1;
    meter.last_poll_ms = meter.last_success_ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::system_clock::now().time_since_epoch())
            .count();
    auto document = nlohmann::json::parse(readings.text);
    for (const auto& r : document["readings"])
        meter.readings.push_back({r["pid"].get<int>(), r["name"].get<std::string>(),
                                  r["unit"].get<std::string>(), r["value"].get<double>(),
                                  r["value"].dump()});
    if (live) *live = readings.text;
    return meter;
}

}  // namespace tandrel_site::testing
