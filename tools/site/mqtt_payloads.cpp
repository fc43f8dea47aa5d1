// Topics, state messages and discovery configs of the MQTT output.
#include "mqtt_payloads.h"

#include <set>

#include "json_value.h"
#include "record_time.h"
#include "sensor_class.h"

namespace tandrel_site {
namespace {

std::string member(const char* key, const std::string& json) {
    return json_string(key) + ":" + json;
}

std::string device_block(const MeterState& meter, const std::string& node) {
    return "{" + member("identifiers", "[" + json_string("tandrel_" + node) + "]") + "," +
           member("name", json_string(meter.name)) + "," + member("model", json_string(meter.model)) +
           "," + member("serial_number", json_string(meter.serial)) + "}";
}

std::string sensor_config(const MqttOptions& options, const MeterState& meter,
                          const std::string& node, const LiveReading& reading,
                          const std::string& key) {
    SensorClass sensor = sensor_class(reading);
    std::string config = "{" + member("name", json_string(reading.name)) + "," +
                         member("unique_id", json_string("tandrel_" + node + "_" + key)) + "," +
                         member("state_topic", json_string(meter_state_topic(options, node))) + "," +
                         member("value_template", json_string("{{ value_json['" + key + "'] }}"));
    if (!reading.unit.empty()) config += "," + member("unit_of_measurement", json_string(reading.unit));
    if (sensor.device_class) config += "," + member("device_class", json_string(sensor.device_class));
    config += "," + member("state_class", json_string(sensor.state_class));
    // Unavailable when the service is gone or the meter stopped answering,
    // rather than showing the last value as if it were current.
    config += "," + member("availability",
                           "[{" + member("topic", json_string(service_status_topic(options))) +
                               "},{" +
                               member("topic", json_string(meter_availability_topic(options, node))) +
                               "}]");
    config += "," + member("availability_mode", json_string("all"));
    return config + "," + member("device", device_block(meter, node)) + "}";
}

}  // namespace

std::string meter_node(const MeterState& meter) {
    if (meter.serial.empty()) return "";
    return topic_word(meter.model.empty() ? "meter" : meter.model) + "_" + topic_word(meter.serial);
}

std::string service_status_topic(const MqttOptions& options) {
    return options.topic_prefix + "/status";
}

std::string meter_availability_topic(const MqttOptions& options, const std::string& node) {
    return options.topic_prefix + "/" + node + "/availability";
}

std::string meter_state_topic(const MqttOptions& options, const std::string& node) {
    return options.topic_prefix + "/" + node + "/state";
}

std::vector<std::string> reading_keys(const std::vector<LiveReading>& readings) {
    std::vector<std::string> keys;
    std::set<std::string> taken;
    for (const auto& reading : readings) {
        std::string key = topic_word(reading.name);
        if (key.empty() || !taken.insert(key).second) {
            key += (key.empty() ? "point_" : "_") + std::to_string(reading.pid);
            taken.insert(key);
        }
        keys.push_back(key);
    }
    return keys;
}

std::string state_payload(const MeterState& meter) {
    std::string payload = "{" + member("time", json_string(format_record_time(meter.last_success_ms)));
    std::vector<std::string> keys = reading_keys(meter.readings);
    for (size_t i = 0; i < keys.size(); ++i)
        payload += "," + member(keys[i].c_str(), json_number(meter.readings[i].value));
    return payload + "}";
}

std::vector<MqttMessage> discovery_messages(const MqttOptions& options, const MeterState& meter) {
    std::string node = meter_node(meter);
    std::vector<std::string> keys = reading_keys(meter.readings);
    std::vector<MqttMessage> messages;
    for (size_t i = 0; i < keys.size(); ++i) {
        messages.push_back({options.discovery_prefix + "/sensor/" + node + "/" + keys[i] + "/config",
                            sensor_config(options, meter, node, meter.readings[i], keys[i]), true});
    }
    return messages;
}

}  // namespace tandrel_site
