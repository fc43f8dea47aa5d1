// The MQTT output: each meter's readings as one state message per poll, its
// availability, and the discovery configs by which Home Assistant finds it
// (mqtt_payloads.h has the layout; docs/mqtt.md describes it for users).
//
// The service's workers only hand their meter over: publishing queues the
// message for the connection's own thread (mqtt_client.h), so a slow or absent
// broker never holds up a poll. The output keeps the last discovery,
// availability and state of each meter and publishes them all again each time
// the connection is made, so a broker restarted without its retained messages
// knows everything again at once. While the broker is away nothing piles up:
// only the newest state of each meter is kept.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "live_output.h"
#include "mqtt_client.h"
#include "mqtt_options.h"

namespace tandrel_site {

class MqttOutput : public LiveOutput {
public:
    // Starts connecting in the background and returns at once. Throws
    // std::runtime_error for options the MQTT library refuses (a CA file
    // that cannot be read, no host). `log` is called from the connection's
    // thread (mqtt_client.h).
    MqttOutput(MqttOptions options, OutputLog log);
    // Publishes "offline" on the service's status topic and disconnects,
    // waiting about two seconds at most.
    ~MqttOutput() override;

    void site_changed(const std::vector<MeterState>& meters) override;
    void meter_changed(const MeterState& meter) override;

    bool connected() const { return client_->connected(); }

private:
    // What was last published for one meter of the site file.
    struct Published {
        std::string node;       // "em235_23501178"
        std::string signature;  // the meter name, reading names and units of `discovery`
        std::vector<MqttMessage> discovery;
        std::string availability;  // "online", "offline", "" before the first poll
        std::string state;         // the last state message
    };

    MqttOptions options_;
    std::mutex mutex_;  // guards meters_, and keeps each meter's messages in order
    std::map<std::string, Published> meters_;  // by the meter's name in the site file
    std::set<std::string> listed_;             // the names of the last site_changed
    bool site_known_ = false;                  // whether site_changed was called
    std::unique_ptr<MqttClient> client_;

    void republish();
    void update_discovery(Published& published, const MeterState& meter);
    void withdraw(const Published& published);
    void send(const MqttMessage& message) { client_->publish(message); }
};

}  // namespace tandrel_site
