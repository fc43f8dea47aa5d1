// The device and state class of a reading, from its unit and, where the unit
// does not tell, its name.
#include "sensor_class.h"

#include <cstring>
#include <string>

namespace tandrel_site {
namespace {

constexpr const char* MEASUREMENT = "measurement";
constexpr const char* TOTAL_INCREASING = "total_increasing";

struct UnitClass {
    const char* unit;
    SensorClass sensor;
};

// Reactive and apparent energies have no device class that every Home
// Assistant release of the last years accepts: they stay plain totals.
const UnitClass UNIT_CLASSES[] = {
    {"V", {"voltage", MEASUREMENT}},       {"A", {"current", MEASUREMENT}},
    {"mA", {"current", MEASUREMENT}},      {"W", {"power", MEASUREMENT}},
    {"kW", {"power", MEASUREMENT}},        {"var", {"reactive_power", MEASUREMENT}},
    {"kvar", {"reactive_power", MEASUREMENT}}, {"VA", {"apparent_power", MEASUREMENT}},
    {"kVA", {"apparent_power", MEASUREMENT}},  {"Hz", {"frequency", MEASUREMENT}},
    {"Wh", {"energy", TOTAL_INCREASING}},  {"kWh", {"energy", TOTAL_INCREASING}},
    {"MWh", {"energy", TOTAL_INCREASING}}, {"varh", {nullptr, TOTAL_INCREASING}},
    {"kvarh", {nullptr, TOTAL_INCREASING}}, {"VAh", {nullptr, TOTAL_INCREASING}},
    {"kVAh", {nullptr, TOTAL_INCREASING}},
};

bool has_word(const std::string& name, const char* word) {
    std::string padded = " " + name + " ";
    return padded.find(" " + std::string(word) + " ") != std::string::npos;
}

}  // namespace

SensorClass sensor_class(const LiveReading& reading) {
    for (const auto& entry : UNIT_CLASSES) {
        if (reading.unit != entry.unit) continue;
        SensorClass sensor = entry.sensor;
        // A net energy (import less export) falls when more is exported:
        // "total_increasing" would take each fall for a meter reset.
        if (std::strcmp(sensor.state_class, TOTAL_INCREASING) == 0 && has_word(reading.name, "net"))
            sensor.state_class = "total";
        return sensor;
    }
    if (reading.unit.empty() && has_word(reading.name, "PF")) return {"power_factor", MEASUREMENT};
    return {nullptr, MEASUREMENT};
}

}  // namespace tandrel_site
