// The exposition text; see prometheus_exposition.h. Samples of one family stay
// together under its HELP and TYPE lines, as the format requires.
#include "prometheus_exposition.h"

#include <charconv>
#include <functional>
#include <map>

#include "decimal_text.h"
#include "prometheus_metrics.h"

namespace tandrel_site {

const char* const EXPOSITION_CONTENT_TYPE = "text/plain; version=0.0.4; charset=utf-8";

namespace {

// A label value with backslash, double quote and line feed escaped.
std::string label_value(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\\' || c == '"') out += '\\';
        out += c == '\n' ? std::string("\\n") : std::string(1, c);
    }
    return out;
}

// {meter="...",serial="...",model="...",phase="..."}: serial and model once
// the meter's identity is known, the phase where one applies.
std::string meter_labels(const MeterState& meter, const std::string& phase = "") {
    std::string labels = "{meter=\"" + label_value(meter.name) + "\"";
    if (!meter.serial.empty()) labels += ",serial=\"" + label_value(meter.serial) + "\"";
    if (!meter.model.empty()) labels += ",model=\"" + label_value(meter.model) + "\"";
    if (!phase.empty()) labels += ",phase=\"" + phase + "\"";
    return labels + "}";
}

// The shortest text that reads back as `value`: 0.002107237, not 0.0021072370000000001.
std::string number(double value) {
    char text[40];
    return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

void family_header(std::string& out, const std::string& name, const char* type,
                   const char* help) {
    out += "# HELP " + name + " " + help + "\n# TYPE " + name + " " + type + "\n";
}

using MeterSample = std::function<std::string(const MeterState&)>;

// One family with a sample for every meter.
void meter_family(std::string& out, const std::vector<MeterState>& meters, const char* name,
                  const char* type, const char* help, const MeterSample& sample) {
    if (meters.empty()) return;
    family_header(out, std::string("tandrel_meter_") + name, type, help);
    for (const MeterState& meter : meters)
        out += std::string("tandrel_meter_") + name + meter_labels(meter) + " " + sample(meter) +
               "\n";
}

void poll_families(std::string& out, const std::vector<MeterState>& meters) {
    meter_family(out, meters, "up", "gauge", "1 when the meter answered its last poll.",
                 [](const MeterState& m) { return std::string(m.up ? "1" : "0"); });
    meter_family(out, meters, "poll_duration_seconds", "gauge", "How long the last poll took.",
                 [](const MeterState& m) { return number(m.last_poll_seconds); });
    meter_family(out, meters, "last_success_timestamp_seconds", "gauge",
                 "When the meter last answered a poll (Unix time; 0: never).",
                 [](const MeterState& m) { return number(m.last_success_ms / 1000.0); });
    meter_family(out, meters, "polls_total", "counter", "Polls made.",
                 [](const MeterState& m) { return std::to_string(m.polls); });
    meter_family(out, meters, "poll_failures_total", "counter", "Polls that failed.",
                 [](const MeterState& m) { return std::to_string(m.failures); });
    meter_family(out, meters, "polls_skipped_total", "counter",
                 "Intervals that passed while the meter's previous poll still ran.",
                 [](const MeterState& m) { return std::to_string(m.skipped); });
}

void collection_families(std::string& out, const std::vector<MeterState>& meters) {
    meter_family(out, meters, "last_collection_timestamp_seconds", "gauge",
                 "When the meter's logs were last collected into the store (Unix time; 0: never).",
                 [](const MeterState& m) { return number(m.last_collection_ms / 1000.0); });
    meter_family(out, meters, "collections_total", "counter",
                 "History collections of the meter that finished or failed.",
                 [](const MeterState& m) { return std::to_string(m.collections); });
    meter_family(out, meters, "collection_failures_total", "counter",
                 "History collections of the meter that failed.",
                 [](const MeterState& m) { return std::to_string(m.collection_failures); });
    meter_family(out, meters, "stored_records_total", "counter",
                 "Data-log records and events of the meter this service stored.",
                 [](const MeterState& m) { return std::to_string(m.stored_records); });
}

// The live values of every meter's last successful poll, grouped by family
// in one pass over the readings, then listed in the families' order.
void live_value_families(std::string& out, const std::vector<MeterState>& meters) {
    std::map<std::string, std::string> samples;  // by family name
    for (const MeterState& meter : meters) {
        if (!meter.up) continue;  // a meter that did not answer has no current values
        for (const LiveReading& reading : meter.readings) {
            const PointMetric* metric = point_metric(reading.pid);
            if (metric == nullptr) continue;
            std::string value = scale_decimal(reading.text, metric->conversion.multiplier,
                                              metric->conversion.power);
            if (value.empty()) continue;  // not a number the library writes
            samples[metric->family] += std::string("tandrel_") + metric->family +
                                       meter_labels(meter, metric->phase) + " " + value + "\n";
        }
    }
    for (const MetricFamily& family : live_families()) {
        auto found = samples.find(family.name);
        if (found == samples.end()) continue;
        family_header(out, std::string("tandrel_") + family.name, family.type, family.help);
        out += found->second;
    }
}

void process_families(std::string& out, const ProcessStats& p) {
    if (!p.known) return;
    const struct {
        const char* name;
        const char* type;
        const char* help;
        double value;
    } FIGURES[] = {
        {"process_cpu_seconds_total", "counter", "User and system CPU time spent.", p.cpu_seconds},
        {"process_resident_memory_bytes", "gauge", "Resident memory size.", p.resident_bytes},
        {"process_virtual_memory_bytes", "gauge", "Virtual memory size.", p.virtual_bytes},
        {"process_start_time_seconds", "gauge", "Start time of the process (Unix time).",
         p.start_time_seconds},
        {"process_open_fds", "gauge", "Open file descriptors.", p.open_fds},
        {"process_max_fds", "gauge", "Limit of open file descriptors.", p.max_fds},
    };
    for (const auto& figure : FIGURES) {
        family_header(out, figure.name, figure.type, figure.help);
        out += std::string(figure.name) + " " + number(figure.value) + "\n";
    }
}

}  // namespace

std::string render_exposition(const std::vector<MeterState>& meters, const ProcessStats& process,
                              bool collections) {
    std::string out;
    poll_families(out, meters);
    if (collections) collection_families(out, meters);
    live_value_families(out, meters);
    process_families(out, process);
    return out;
}

}  // namespace tandrel_site
