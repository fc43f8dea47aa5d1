// What each value of the live set is called in the Prometheus exposition:
// the metric family, the phase it belongs to, and the exact conversion from
// the meter's unit to the base unit Prometheus' conventions ask for.
#pragma once

#include <string>
#include <vector>

namespace tandrel_site {

struct MetricFamily {
    const char* name;  // without the tandrel_ prefix
    const char* type;  // "gauge", "counter"
    const char* help;
};

// From the meter's unit to the family's: the value x multiplier x 10^power.
struct UnitConversion {
    long long multiplier;
    int power;
};

struct PointMetric {
    int pid;
    const char* family;
    const char* phase;  // "" where none applies
    UnitConversion conversion;
};

// The families of the live values, in the order the exposition lists them.
const std::vector<MetricFamily>& live_families();

// The metric of a live point; null for a point the exposition does not know.
const PointMetric* point_metric(int pid);

}  // namespace tandrel_site
