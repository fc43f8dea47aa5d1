// The live set's metric names and conversions; see prometheus_metrics.h.
#include "prometheus_metrics.h"

namespace tandrel_site {
namespace {

constexpr UnitConversion SAME{1, 0};
constexpr UnitConversion KILO{1, 3};     // kW to W, kvar to var, kVA to VA
constexpr UnitConversion PERCENT{1, -2};  // % to a ratio
// kWh to J, kvarh to var s, kVAh to VA s: 3.6e6 exactly. Prometheus' base
// unit of time is the second, also where the meter counts hours.
constexpr UnitConversion KILO_HOURS{36, 5};

}  // namespace

const std::vector<MetricFamily>& live_families() {
    static const std::vector<MetricFamily> FAMILIES = {
        {"voltage_volts", "gauge", "Line-to-neutral voltage."},
        {"line_voltage_volts", "gauge", "Line-to-line voltage; phase names the pair."},
        {"current_amperes", "gauge", "Phase current."},
        {"active_power_watts", "gauge", "Active power of a phase."},
        {"reactive_power_volt_amperes_reactive", "gauge", "Reactive power of a phase."},
        {"apparent_power_volt_amperes", "gauge", "Apparent power of a phase."},
        {"power_factor_ratio", "gauge", "Power factor of a phase."},
        {"voltage_thd_ratio", "gauge", "Total harmonic distortion of a voltage."},
        {"current_thd_ratio", "gauge", "Total harmonic distortion of a current."},
        {"current_k_factor", "gauge", "K-factor of a current."},
        {"current_tdd_ratio", "gauge", "Total demand distortion of a current."},
        {"total_active_power_watts", "gauge", "Active power of all phases."},
        {"total_active_power_import_watts", "gauge", "Imported active power of all phases."},
        {"total_active_power_export_watts", "gauge", "Exported active power of all phases."},
        {"total_reactive_power_volt_amperes_reactive", "gauge", "Reactive power of all phases."},
        {"total_reactive_power_import_volt_amperes_reactive", "gauge",
         "Imported reactive power of all phases."},
        {"total_reactive_power_export_volt_amperes_reactive", "gauge",
         "Exported reactive power of all phases."},
        {"total_apparent_power_volt_amperes", "gauge", "Apparent power of all phases."},
        {"total_power_factor_ratio", "gauge", "Power factor of all phases."},
        {"total_power_factor_lag_ratio", "gauge", "Lagging power factor of all phases."},
        {"total_power_factor_lead_ratio", "gauge", "Leading power factor of all phases."},
        {"average_voltage_volts", "gauge", "Average line-to-neutral voltage."},
        {"average_line_voltage_volts", "gauge", "Average line-to-line voltage."},
        {"average_current_amperes", "gauge", "Average phase current."},
        {"neutral_current_amperes", "gauge", "Neutral current."},
        {"auxiliary_current_amperes", "gauge", "Current of the fourth current input (I4)."},
        {"leakage_current_amperes", "gauge", "Leakage current."},
        {"frequency_hertz", "gauge", "Frequency."},
        {"voltage_unbalance_ratio", "gauge", "Voltage unbalance."},
        {"current_unbalance_ratio", "gauge", "Current unbalance."},
        {"active_energy_import_joules_total", "counter", "Imported active energy."},
        {"active_energy_export_joules_total", "counter", "Exported active energy."},
        {"active_energy_joules_total", "counter", "Active energy imported and exported."},
        {"active_energy_net_joules", "gauge", "Imported less exported active energy."},
        {"reactive_energy_import_volt_ampere_reactive_seconds_total", "counter",
         "Imported reactive energy."},
        {"reactive_energy_export_volt_ampere_reactive_seconds_total", "counter",
         "Exported reactive energy."},
        {"reactive_energy_volt_ampere_reactive_seconds_total", "counter",
         "Reactive energy imported and exported."},
        {"reactive_energy_net_volt_ampere_reactive_seconds", "gauge",
         "Imported less exported reactive energy."},
        {"apparent_energy_volt_ampere_seconds_total", "counter", "Apparent energy."},
    };
    return FAMILIES;
}

const PointMetric* point_metric(int pid) {
    static const PointMetric POINTS[] = {
        {4352, "voltage_volts", "1", SAME},
        {4353, "voltage_volts", "2", SAME},
        {4354, "voltage_volts", "3", SAME},
        {4355, "current_amperes", "1", SAME},
        {4356, "current_amperes", "2", SAME},
        {4357, "current_amperes", "3", SAME},
        {4358, "active_power_watts", "1", KILO},
        {4359, "active_power_watts", "2", KILO},
        {4360, "active_power_watts", "3", KILO},
        {4361, "reactive_power_volt_amperes_reactive", "1", KILO},
        {4362, "reactive_power_volt_amperes_reactive", "2", KILO},
        {4363, "reactive_power_volt_amperes_reactive", "3", KILO},
        {4364, "apparent_power_volt_amperes", "1", KILO},
        {4365, "apparent_power_volt_amperes", "2", KILO},
        {4366, "apparent_power_volt_amperes", "3", KILO},
        {4367, "power_factor_ratio", "1", SAME},
        {4368, "power_factor_ratio", "2", SAME},
        {4369, "power_factor_ratio", "3", SAME},
        {4370, "voltage_thd_ratio", "1", PERCENT},
        {4371, "voltage_thd_ratio", "2", PERCENT},
        {4372, "voltage_thd_ratio", "3", PERCENT},
        {4373, "current_thd_ratio", "1", PERCENT},
        {4374, "current_thd_ratio", "2", PERCENT},
        {4375, "current_thd_ratio", "3", PERCENT},
        {4376, "current_k_factor", "1", SAME},
        {4377, "current_k_factor", "2", SAME},
        {4378, "current_k_factor", "3", SAME},
        {4379, "current_tdd_ratio", "1", PERCENT},
        {4380, "current_tdd_ratio", "2", PERCENT},
        {4381, "current_tdd_ratio", "3", PERCENT},
        {4382, "line_voltage_volts", "12", SAME},
        {4383, "line_voltage_volts", "23", SAME},
        {4384, "line_voltage_volts", "31", SAME},
        {5120, "total_active_power_watts", "", KILO},
        {5121, "total_reactive_power_volt_amperes_reactive", "", KILO},
        {5122, "total_apparent_power_volt_amperes", "", KILO},
        {5123, "total_power_factor_ratio", "", SAME},
        {5124, "total_power_factor_lag_ratio", "", SAME},
        {5125, "total_power_factor_lead_ratio", "", SAME},
        {5126, "total_active_power_import_watts", "", KILO},
        {5127, "total_active_power_export_watts", "", KILO},
        {5128, "total_reactive_power_import_volt_amperes_reactive", "", KILO},
        {5129, "total_reactive_power_export_volt_amperes_reactive", "", KILO},
        {5130, "average_voltage_volts", "", SAME},
        {5131, "average_line_voltage_volts", "", SAME},
        {5132, "average_current_amperes", "", SAME},
        {5376, "auxiliary_current_amperes", "", SAME},
        {5377, "neutral_current_amperes", "", SAME},
        {5378, "frequency_hertz", "", SAME},
        {5379, "voltage_unbalance_ratio", "", PERCENT},
        {5380, "current_unbalance_ratio", "", PERCENT},
        {5390, "leakage_current_amperes", "", SAME},
        {5888, "active_energy_import_joules_total", "", KILO_HOURS},
        {5889, "active_energy_export_joules_total", "", KILO_HOURS},
        {5890, "active_energy_net_joules", "", KILO_HOURS},
        {5891, "active_energy_joules_total", "", KILO_HOURS},
        {5892, "reactive_energy_import_volt_ampere_reactive_seconds_total", "", KILO_HOURS},
        {5893, "reactive_energy_export_volt_ampere_reactive_seconds_total", "", KILO_HOURS},
        {5894, "reactive_energy_net_volt_ampere_reactive_seconds", "", KILO_HOURS},
        {5895, "reactive_energy_volt_ampere_reactive_seconds_total", "", KILO_HOURS},
        {5896, "apparent_energy_volt_ampere_seconds_total", "", KILO_HOURS},
    };
    for (const PointMetric& point : POINTS)
        if (point.pid == pid) return &point;
    return nullptr;
}

}  // namespace tandrel_site
