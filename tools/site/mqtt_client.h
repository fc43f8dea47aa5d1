// One connection to an MQTT broker, kept up by a thread of its own: connect,
// the protocol's keep-alive, and reconnecting after any failure with a
// back-off from 1 s to 30 s, also after failures the MQTT library gives up on
// (a name that does not resolve yet, a refused login), because a service
// started before its broker or its network must not need a restart.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "mqtt_options.h"
#include "mqtt_payloads.h"

struct mosquitto;

namespace tandrel_site {

using OutputLog = std::function<void(int level, const std::string& message)>;

class MqttClient {
public:
    // `will` is what the broker publishes when the connection dies without a
    // goodbye; `connected` runs on the client's thread after each connection
    // the broker accepted. Returns at once; throws std::runtime_error for
    // options the MQTT library refuses. Nothing runs before start().
    MqttClient(const MqttOptions& options, const MqttMessage& will, std::function<void()> connected,
               OutputLog log);
    ~MqttClient();
    MqttClient(const MqttClient&) = delete;
    MqttClient& operator=(const MqttClient&) = delete;

    // Starts the connection's thread, which connects in the background.
    void start(const MqttOptions& options);

    // Hands the message to the connection without waiting for the network;
    // false (the message dropped) while there is no connection.
    bool publish(const MqttMessage& message);
    bool connected() const { return connected_; }

    // Publishes `farewell` when connected, disconnects, and ends the thread
    // within about two seconds.
    void close(const MqttMessage& farewell);

private:
    mosquitto* mosq_ = nullptr;
    std::string broker_;  // HOST:PORT for messages
    std::function<void()> on_connected_;
    OutputLog log_;
    std::atomic<bool> connected_{false};
    std::atomic<bool> stopping_{false};
    std::atomic<int> failures_{0};
    std::string last_failure_;  // the client thread's only
    std::mutex wait_mutex_;
    std::condition_variable wake_;
    std::thread thread_;

    void configure(const MqttOptions& options, const MqttMessage& will);
    void run(const MqttOptions& options);
    void failed(std::string reason);
    void back_off();
    static void on_connect(mosquitto*, void* self, int code);
    static void on_disconnect(mosquitto*, void* self, int code);
};

}  // namespace tandrel_site
