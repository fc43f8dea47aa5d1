// MeterStates as JSON, every text quoted and escaped: meter names come from a
// site file and errors from meters and the network.
#include "meter_state_json.h"

#include "json_value.h"
#include "record_time.h"

namespace tandrel_site {
namespace {

std::string time_json(std::int64_t unix_ms) {
    return unix_ms > 0 ? json_string(format_record_time(unix_ms)) : "null";
}

std::string readings_json(const std::vector<LiveReading>& readings) {
    std::string json = "[";
    for (const auto& reading : readings) {
        if (json.size() > 1) json += ",";
        json += "{\"pid\":" + std::to_string(reading.pid) + ",\"name\":" + json_string(reading.name) +
                ",\"value\":" + json_number(reading.value) + ",\"unit\":" + json_string(reading.unit) +
                "}";
    }
    return json + "]";
}

std::string collection_json(const MeterState& meter) {
    if (meter.last_collection_ms <= 0) return "null";
    return "{\"time\":" + time_json(meter.last_collection_ms) +
           ",\"ok\":" + (meter.last_collection_ok ? "true" : "false") +
           ",\"text\":" + json_string(meter.last_collection_text) + "}";
}

std::string meter_json(const MeterState& meter) {
    return "{\"name\":" + json_string(meter.name) + ",\"address\":" + json_string(meter.address) +
           ",\"unit_id\":" + std::to_string(meter.unit_id) + ",\"serial\":" + json_string(meter.serial) +
           ",\"model\":" + json_string(meter.model) + ",\"up\":" + (meter.up ? "true" : "false") +
           ",\"polls\":" + std::to_string(meter.polls) + ",\"failures\":" +
           std::to_string(meter.failures) + ",\"last_poll\":" + time_json(meter.last_poll_ms) +
           ",\"last_success\":" + time_json(meter.last_success_ms) +
           ",\"poll_seconds\":" + json_number(meter.last_poll_seconds) +
           ",\"last_error\":" + json_string(meter.last_error) +
           ",\"readings\":" + readings_json(meter.readings) +
           ",\"collection\":" + collection_json(meter) + "}";
}

}  // namespace

std::string meter_states_json(const std::vector<MeterState>& meters, std::int64_t now_ms) {
    std::string json = "{\"time\":" + time_json(now_ms) + ",\"meters\":[";
    for (size_t i = 0; i < meters.size(); ++i) json += (i ? "," : "") + meter_json(meters[i]);
    return json + "]}";
}

}  // namespace tandrel_site
