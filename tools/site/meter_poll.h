// One poll of one meter: its live set read through its session, opened first
// when it is not, and what the poll changes in the meter's state.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "live_readings.h"
#include "meter_session.h"
#include "meter_state.h"

namespace tandrel_site {

struct PollOutcome {
    bool ok = false;
    std::string error;        // the library's message, when not ok
    bool opened = false;      // the poll opened the session: `identity` is new
    MeterIdentity identity;
    std::vector<LiveReading> readings;
};

// Reads the live set. A closed `session` is opened first on `target`, and
// `on_open` learns its handle before the read, so that another thread may
// close it to end a read that hangs. Never throws.
PollOutcome poll_meter(MeterSession& session, MeterTarget& target,
                       const std::function<void(tandrel_session*)>& on_open);

// The poll's counts, times, identity and readings in the meter's state; a
// failed poll keeps the readings of the last good one for the pages that show
// them (the exposition shows them only while the meter is up).
void apply_poll(MeterState& meter, const PollOutcome& outcome, std::int64_t now_ms,
                double seconds);

}  // namespace tandrel_site
