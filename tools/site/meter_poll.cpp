// One meter's poll; see meter_poll.h.
#include "meter_poll.h"

#include <exception>

namespace tandrel_site {

PollOutcome poll_meter(MeterSession& session, MeterTarget& target,
                       const std::function<void(tandrel_session*)>& on_open) {
    PollOutcome outcome;
    try {
        if (session.handle() == nullptr) {
            CallResult info = session.open(target);
            if (info.status < 0) {
                outcome.error = info.error;
                return outcome;
            }
            outcome.opened = true;
            outcome.identity = meter_identity(info.text);
            outcome.identity.model = target.meter;
            on_open(session.handle());
        }
        CallResult live = session.fetch(tandrel_session_read_live);
        if (live.status < 0) {
            outcome.error = live.error;
            return outcome;
        }
        outcome.readings = live_readings(live.text);
        outcome.ok = true;
    } catch (const std::exception& e) {
        outcome.error = e.what();
    }
    return outcome;
}

void apply_poll(MeterState& meter, const PollOutcome& outcome, std::int64_t now_ms,
                double seconds) {
    ++meter.polls;
    meter.last_poll_ms = now_ms;
    meter.last_poll_seconds = seconds;
    meter.up = outcome.ok;
    if (outcome.opened) {
        meter.serial = outcome.identity.serial;
        meter.model = outcome.identity.model;
    }
    if (!outcome.ok) {
        ++meter.failures;
        meter.last_error = outcome.error;
        return;
    }
    meter.last_success_ms = now_ms;
    meter.last_error.clear();
    meter.readings = outcome.readings;
}

}  // namespace tandrel_site
