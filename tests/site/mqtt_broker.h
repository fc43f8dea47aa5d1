// A real Mosquitto broker for a test, on 127.0.0.1 at a free port, without
// persistence (a restart forgets every retained message), and a recording
// client subscribed to every topic. The broker is killed with the test.
#pragma once

#include <sys/types.h>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "support/temp_dir.h"

struct mosquitto;

namespace tandrel::testing {

struct MqttLogin {
    std::string user, password;  // empty: anonymous
};

class MosquittoBroker {
public:
    explicit MosquittoBroker(MqttLogin login = {});
    ~MosquittoBroker() { stop(); }
    void stop();
    void start();  // again on the same port
    int port() const { return port_; }
    std::string url() const { return "mqtt://127.0.0.1:" + std::to_string(port_); }
    std::string log() const;

private:
    TempDir dir_;
    int port_;
    pid_t pid_ = -1;
};

struct MqttRecord {
    std::string topic, payload;
};

class MqttRecorder {
public:
    explicit MqttRecorder(int port, const MqttLogin& login = {});
    ~MqttRecorder();
    // The first message from the `from`-th on whose topic matches (MQTT's
    // "+" wildcard) and that `accept`s, waiting up to 15 s; throws when none came.
    MqttRecord wait(const std::string& topic, size_t from = 0,
                    const std::function<bool(const MqttRecord&)>& accept = nullptr);
    size_t count();
    // The newest message of every topic that matches.
    std::vector<MqttRecord> latest(const std::string& topic);

private:
    mosquitto* mosq_;
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::vector<MqttRecord> records_;
};

}  // namespace tandrel::testing
