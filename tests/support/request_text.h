// What the data-driven runners compare as text: the requests a simulated
// meter received, one line each, and documents without their wall-clock
// time stamp.
#pragma once

#include <cstdio>
#include <regex>
#include <string>
#include <vector>

#include "sim/simulator.h"

namespace tandrel::testing {

// One line per request: connection, unit, function, address (hex), count,
// and after " :" the values written. The em133's clock words are the local
// time of the call and read " : clock" (checked on their own).
inline std::string requests_text(const std::vector<tandrel_sim::Request>& requests) {
    std::string text;
    for (const tandrel_sim::Request& r : requests) {
        char line[64];
        std::snprintf(line, sizeof line, "%d %d %d %04X %d", r.connection, r.unit_id,
                      r.function, r.address, r.count);
        text += line;
        if (r.function == 16 && r.address == tandrel_sim::reg::EM133_CLOCK) {
            text += " : clock";
        } else if (!r.values.empty()) {
            text += " :";
            for (const std::uint16_t v : r.values) text += " " + std::to_string(v);
        }
        text += "\n";
    }
    return text;
}

// A readings document's own time stamp is the wall clock: its shape is
// checked, then it reads "T".
inline std::string without_timestamp(const std::string& doc) {
    static const std::regex STAMP(
        "\"timestamp\":\"\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}Z\"");
    return std::regex_replace(doc, STAMP, "\"timestamp\":\"T\"",
                              std::regex_constants::format_first_only);
}

}  // namespace tandrel::testing
