// The library's live and device-information documents as the service keeps
// them: the readings of a live set, and who the meter says it is.
#pragma once

#include <string>
#include <vector>

#include "meter_state.h"

namespace tandrel_site {

// The "readings" of a live document (tandrel_session_read_live). Throws
// std::runtime_error for a document that is not the library's JSON.
std::vector<LiveReading> live_readings(const std::string& document);

struct MeterIdentity {
    std::string serial;  // "1234567"
    std::string model;   // "em235"
};

// Serial and model of a device-information document; "" for what it lacks.
MeterIdentity meter_identity(const std::string& document);

}  // namespace tandrel_site
