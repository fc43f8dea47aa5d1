// Where the service sends what it learns of the meters. Each output (MQTT,
// and whatever comes next) is one class behind this interface, so that a new
// one is a file and a line where the service lists them.
#pragma once

#include <vector>

#include "meter_state.h"

namespace tandrel_site {

class LiveOutput {
public:
    virtual ~LiveOutput() = default;
    LiveOutput() = default;
    LiveOutput(const LiveOutput&) = delete;
    LiveOutput& operator=(const LiveOutput&) = delete;

    // The site's meters, once when the service starts and again after each
    // reload of the site file: an output forgets meters no longer listed.
    virtual void site_changed(const std::vector<MeterState>& meters) = 0;

    // After every poll of a meter (and every collection of its logs), from
    // the worker that made it. Calls for different meters may run at the same
    // time. An output never blocks here on a network round trip: a slow or
    // absent server must not delay the polls.
    virtual void meter_changed(const MeterState& meter) = 0;
};

}  // namespace tandrel_site
