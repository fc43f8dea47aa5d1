// Live and device-information documents to the service's state; see live_readings.h.
#include "live_readings.h"

#include <charconv>

#include "json_value.h"

namespace tandrel_site {

std::vector<LiveReading> live_readings(const std::string& document) {
    const JsonValue doc = parse_json(document);
    std::vector<LiveReading> readings;
    for (const JsonValue& item : doc["readings"].items) {
        LiveReading reading;
        reading.pid = item["pid"].integer();
        reading.name = item["name"].str();
        reading.unit = item["unit"].str();
        reading.text = item["value"].str();
        // Not strtod: the value must not depend on the process's locale.
        std::from_chars(reading.text.data(), reading.text.data() + reading.text.size(),
                        reading.value);
        readings.push_back(std::move(reading));
    }
    return readings;
}

MeterIdentity meter_identity(const std::string& document) {
    const JsonValue doc = parse_json(document);
    return MeterIdentity{doc["serial"].str(), doc["meter"].str()};
}

}  // namespace tandrel_site
