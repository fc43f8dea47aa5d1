// What the MQTT output publishes, as pure functions of a meter's state: the
// topics, the state message of one poll and the discovery configs by which
// Home Assistant finds the meter and its sensors.
//
// A meter is known by its model and serial ("em235_23501178"), never by its
// address: a meter moved to another gateway keeps its sensors and history,
// and serials are unique within a model only.
#pragma once

#include <string>
#include <vector>

#include "meter_state.h"
#include "mqtt_options.h"

namespace tandrel_site {

struct MqttMessage {
    std::string topic;
    std::string payload;  // "" on a retained topic removes what the broker kept
    bool retain = false;
};

// "em235_23501178", or "" while the meter's identity is unknown.
std::string meter_node(const MeterState& meter);

// PREFIX/status: "online" while the service is connected, "offline" as its
// last will.
std::string service_status_topic(const MqttOptions& options);
// PREFIX/NODE/availability: "online" while the meter answers its polls.
std::string meter_availability_topic(const MqttOptions& options, const std::string& node);
// PREFIX/NODE/state: one JSON object per poll.
std::string meter_state_topic(const MqttOptions& options, const std::string& node);

// The key of each reading in the state message and the object id of its
// sensor: the reading's name as a topic word, made unique by its point id
// where two readings would share one.
std::vector<std::string> reading_keys(const std::vector<LiveReading>& readings);

// {"time":"2026-01-01T00:00:00.000Z","v1":230,"kwh_import":74566.044,...}:
// the time of the last successful poll and each reading under its key.
std::string state_payload(const MeterState& meter);

// One retained config per reading, on DISCOVERY/sensor/NODE/KEY/config.
// The meter's node must be known.
std::vector<MqttMessage> discovery_messages(const MqttOptions& options, const MeterState& meter);

}  // namespace tandrel_site
