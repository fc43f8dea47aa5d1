// Which messages each meter's changes make, and what a new connection is told.
#include "mqtt_output.h"

#include <set>

namespace tandrel_site {
namespace {

const char* const ONLINE = "online";
const char* const OFFLINE = "offline";

std::string discovery_signature(const MeterState& meter) {
    std::string signature = meter.name + '\x1e' + meter.model;
    for (const auto& reading : meter.readings)
        signature += '\x1e' + reading.name + '\x1f' + reading.unit;
    return signature;
}

}  // namespace

MqttOutput::MqttOutput(MqttOptions options, OutputLog log) : options_(std::move(options)) {
    MqttMessage will{service_status_topic(options_), OFFLINE, true};
    client_ = std::make_unique<MqttClient>(options_, will, [this] { republish(); }, std::move(log));
    client_->start(options_);
}

MqttOutput::~MqttOutput() { client_->close({service_status_topic(options_), OFFLINE, true}); }

void MqttOutput::site_changed(const std::vector<MeterState>& meters) {
    std::set<std::string> listed;
    for (const auto& meter : meters) listed.insert(meter.name);
    std::lock_guard<std::mutex> lock(mutex_);
    site_known_ = true;
    listed_ = listed;
    for (auto it = meters_.begin(); it != meters_.end();) {
        if (listed.count(it->first)) {
            ++it;
            continue;
        }
        withdraw(it->second);
        it = meters_.erase(it);
    }
}

void MqttOutput::meter_changed(const MeterState& meter) {
    std::string node = meter_node(meter);
    if (node.empty()) return;  // nothing to announce before the meter's identity is read
    std::lock_guard<std::mutex> lock(mutex_);
    // A poll that ends after a reload dropped its meter must not announce it again.
    if (site_known_ && !listed_.count(meter.name)) return;
    Published& published = meters_[meter.name];
    if (published.node != node) {
        // Another meter now answers at this place in the site file.
        withdraw(published);
        published = Published{node, "", {}, "", ""};
    }
    update_discovery(published, meter);
    std::string availability = meter.up ? ONLINE : OFFLINE;
    if (availability != published.availability) {
        published.availability = availability;
        send({meter_availability_topic(options_, node), availability, true});
    }
    if (!meter.up || meter.readings.empty()) return;
    std::string state = state_payload(meter);
    if (state == published.state) return;  // a log collection, no new poll
    published.state = state;
    send({meter_state_topic(options_, node), state, false});
}

void MqttOutput::update_discovery(Published& published, const MeterState& meter) {
    if (meter.readings.empty()) return;  // keep the sensors of the last poll that answered
    std::string signature = discovery_signature(meter);
    if (signature == published.signature) return;
    std::vector<MqttMessage> discovery = discovery_messages(options_, meter);
    std::set<std::string> topics;
    for (const auto& message : discovery) topics.insert(message.topic);
    for (const auto& old : published.discovery)
        if (!topics.count(old.topic)) send({old.topic, "", true});
    for (const auto& message : discovery) send(message);
    published.signature = signature;
    published.discovery = std::move(discovery);
}

// Empty retained messages: Home Assistant removes the sensors, and the broker
// forgets the meter's availability.
void MqttOutput::withdraw(const Published& published) {
    for (const auto& message : published.discovery) send({message.topic, "", true});
    if (!published.availability.empty())
        send({meter_availability_topic(options_, published.node), "", true});
}

void MqttOutput::republish() {
    std::lock_guard<std::mutex> lock(mutex_);
    send({service_status_topic(options_), ONLINE, true});
    for (const auto& [name, published] : meters_) {
        for (const auto& message : published.discovery) send(message);
        if (!published.availability.empty())
            send({meter_availability_topic(options_, published.node), published.availability, true});
        if (!published.state.empty())
            send({meter_state_topic(options_, published.node), published.state, false});
    }
}

}  // namespace tandrel_site
