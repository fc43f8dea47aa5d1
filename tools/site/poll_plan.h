// The site file's meters as the service polls them: each one's name, and the
// library's host, model and options texts for its session, with the
// connection it shares with the other units behind its HOST:PORT.
#pragma once

#include <string>
#include <vector>

#include "endpoint.h"
#include "site_file.h"

namespace tandrel_site {

struct PolledMeter {
    std::string name;  // HOST:PORT/UNIT, the meter label of every metric
    int unit = 1;
    MeterTarget target;
    std::string connection;  // "HOST:PORT#n": the library connection it shares
};

// How the service names a site meter: the name the site file gives it, else
// HOST:PORT/UNIT.
std::string polled_name(const SiteMeter& meter);

// Meters behind one HOST:PORT (a gateway, or units of one meter) are dealt
// round the connection numbers 1..per_host in the site file's order: the
// library opens one TCP connection per number and lets the sessions on it
// take turns, so the gateway never sees more than per_host connections from
// the service however many workers poll. timeout_ms: 0 for the library's
// default.
std::vector<PolledMeter> poll_plan(const std::vector<SiteMeter>& meters, int per_host,
                                   int timeout_ms);

}  // namespace tandrel_site
