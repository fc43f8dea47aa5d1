// Site meters to polled meters; see poll_plan.h.
#include "poll_plan.h"

#include <map>

namespace tandrel_site {

std::string polled_name(const SiteMeter& meter) {
    if (!meter.name.empty()) return meter.name;
    return meter_endpoint(meter) + "/" + std::to_string(meter.unit);
}

std::vector<PolledMeter> poll_plan(const std::vector<SiteMeter>& meters, int per_host,
                                   int timeout_ms) {
    std::map<std::string, int> seen;  // meters so far behind each HOST:PORT
    std::vector<PolledMeter> plan;
    for (const SiteMeter& meter : meters) {
        const std::string address = meter_endpoint(meter);
        const int connection = 1 + seen[address]++ % per_host;
        std::string options = options_text(meter.port, meter.unit, timeout_ms);
        options.insert(options.size() - 1, ",\"connection\":" + std::to_string(connection));
        plan.push_back(PolledMeter{polled_name(meter), meter.unit,
                                   MeterTarget{meter.host, meter.model, options, address,
                                               !meter.force_model},
                                   address + "#" + std::to_string(connection)});
    }
    return plan;
}

}  // namespace tandrel_site
