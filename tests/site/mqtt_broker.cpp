// The broker runs as Debian installs it, /usr/sbin/mosquitto with a config of
// our own; the recorder is libmosquitto's own thread and reconnect.
#include "mqtt_broker.h"

#include <mosquitto.h>
#include <signal.h>

#include <chrono>
#include <fstream>
#include <map>
#include <stdexcept>
#include <thread>

#include "support/child_process.h"

namespace tandrel::testing {
MosquittoBroker::MosquittoBroker(MqttLogin login) : port_(free_tcp_port()) {
    std::ofstream conf(dir_.file("mosquitto.conf"));
    conf << "listener " << port_ << " 127.0.0.1\npersistence false\nlog_dest stderr\n"
         << "log_type all\nuser root\n";
    if (login.user.empty()) {
        conf << "allow_anonymous true\n";
    } else {
        std::string passwd = dir_.file("passwd");
        if (wait_for(spawn({"/usr/bin/mosquitto_passwd", "-b", "-c", passwd, login.user,
                            login.password},
                           dir_.file("passwd.log"), {}, true)) != 0)
            throw std::runtime_error("mosquitto_passwd failed: " + file_text(dir_.file("passwd.log")));
        conf << "allow_anonymous false\npassword_file " << passwd << "\n";
    }
    conf.close();
    start();
}

void MosquittoBroker::start() {
    size_t logged = log().size();  // a restart appends to the same log
    pid_ = spawn({"/usr/sbin/mosquitto", "-c", dir_.file("mosquitto.conf")}, dir_.file("broker.log"),
                 {}, true);
    // "mosquitto version 2.0.11 running" comes once the listener is open.
    for (int i = 0; i < 500 && log().find(" running", logged) == std::string::npos; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (log().find(" running", logged) == std::string::npos)
        throw std::runtime_error("mosquitto did not start: " + log());
}

void MosquittoBroker::stop() {
    if (pid_ > 0) stop_process(pid_, SIGTERM, 10);
    pid_ = -1;
}

std::string MosquittoBroker::log() const { return file_text(dir_.file("broker.log")); }

MqttRecorder::MqttRecorder(int port, const MqttLogin& login) {
    mosquitto_lib_init();
    mosq_ = mosquitto_new(nullptr, true, this);
    if (!login.user.empty()) mosquitto_username_pw_set(mosq_, login.user.c_str(), login.password.c_str());
    mosquitto_connect_callback_set(mosq_, [](mosquitto* m, void*, int) {
        mosquitto_subscribe(m, nullptr, "#", 1);
    });
    mosquitto_message_callback_set(mosq_, [](mosquitto*, void* self, const mosquitto_message* m) {
        auto* recorder = static_cast<MqttRecorder*>(self);
        std::lock_guard<std::mutex> lock(recorder->mutex_);
        recorder->records_.push_back(
            {m->topic, std::string(static_cast<const char*>(m->payload), m->payloadlen)});
        recorder->arrived_.notify_all();
    });
    mosquitto_reconnect_delay_set(mosq_, 1, 1, false);
    if (mosquitto_connect(mosq_, "127.0.0.1", port, 10) != MOSQ_ERR_SUCCESS ||
        mosquitto_loop_start(mosq_) != MOSQ_ERR_SUCCESS)
        throw std::runtime_error("the recorder cannot connect to the broker");
}

MqttRecorder::~MqttRecorder() {
    mosquitto_disconnect(mosq_);
    mosquitto_loop_stop(mosq_, true);
    mosquitto_destroy(mosq_);
}

MqttRecord MqttRecorder::wait(const std::string& topic, size_t from,
                              const std::function<bool(const MqttRecord&)>& accept) {
    std::unique_lock<std::mutex> lock(mutex_);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    for (size_t i = from;; ++i) {
        if (!arrived_.wait_until(lock, deadline, [&] { return records_.size() > i; }))
            throw std::runtime_error("no message on " + topic);
        bool match = false;
        mosquitto_topic_matches_sub(topic.c_str(), records_[i].topic.c_str(), &match);
        if (match && (!accept || accept(records_[i]))) return records_[i];
    }
}

size_t MqttRecorder::count() {
    std::lock_guard<std::mutex> lock(mutex_);
    return records_.size();
}

std::vector<MqttRecord> MqttRecorder::latest(const std::string& topic) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::map<std::string, std::string> newest;
    for (const auto& record : records_) {
        bool match = false;
        mosquitto_topic_matches_sub(topic.c_str(), record.topic.c_str(), &match);
        if (match) newest[record.topic] = record.payload;
    }
    std::vector<MqttRecord> records;
    for (const auto& [name, payload] : newest) records.push_back({name, payload});
    return records;
}

}  // namespace tandrel::testing
