// The broker connection over libmosquitto, driven by our own thread so that
// every failure, not only a lost connection, is retried.
#include "mqtt_client.h"

#include <mosquitto.h>

#include <algorithm>
#include <chrono>
#include <stdexcept>

#include "endpoint.h"
#include "tandrel.h"

namespace tandrel_site {
namespace {

constexpr int LOOP_WAIT_MS = 200;
constexpr int MAX_BACKOFF_S = 30;
constexpr auto CLOSE_WAIT = std::chrono::seconds(2);
constexpr auto CONNECT_WAIT = std::chrono::seconds(10);
// Retained messages (discovery, availability) are acknowledged; states are
// not worth a resend, the next poll brings a newer one.
constexpr int RETAINED_QOS = 1;

void init_library() {
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

void check(int code, const std::string& what) {
    if (code != MOSQ_ERR_SUCCESS) throw std::runtime_error(what + ": " + mosquitto_strerror(code));
}

}  // namespace

MqttClient::MqttClient(const MqttOptions& options, const MqttMessage& will,
                       std::function<void()> connected, OutputLog log)
    : broker_(endpoint_text(options.host, options.port)),
      on_connected_(std::move(connected)),
      log_(std::move(log)) {
    if (options.host.empty()) throw std::runtime_error("no MQTT broker host given");
    init_library();
    mosq_ = mosquitto_new(options.client_id.empty() ? nullptr : options.client_id.c_str(), true, this);
    if (!mosq_) throw std::runtime_error("cannot create an MQTT client");
    try {
        configure(options, will);
    } catch (...) {
        mosquitto_destroy(mosq_);
        throw;
    }
}

void MqttClient::start(const MqttOptions& options) {
    thread_ = std::thread([this, options] { run(options); });
}

MqttClient::~MqttClient() {
    close({});
    mosquitto_destroy(mosq_);
}

void MqttClient::configure(const MqttOptions& options, const MqttMessage& will) {
    mosquitto_threaded_set(mosq_, true);  // publish() from other threads only queues
    mosquitto_connect_callback_set(mosq_, on_connect);
    mosquitto_disconnect_callback_set(mosq_, on_disconnect);
    check(mosquitto_will_set(mosq_, will.topic.c_str(), static_cast<int>(will.payload.size()),
                             will.payload.data(), RETAINED_QOS, will.retain),
          "MQTT last will on " + will.topic);
    if (!options.username.empty())
        check(mosquitto_username_pw_set(mosq_, options.username.c_str(),
                                        options.password.empty() ? nullptr : options.password.c_str()),
              "MQTT login");
    if (options.tls) {
        const char* ca_file = options.ca_file.empty() ? nullptr : options.ca_file.c_str();
        const char* ca_path = ca_file ? nullptr : "/etc/ssl/certs";
        if (mosquitto_tls_set(mosq_, ca_file, ca_path, nullptr, nullptr, nullptr) != MOSQ_ERR_SUCCESS)
            throw std::runtime_error("cannot use the CA certificates in " +
                                     std::string(ca_file ? ca_file : ca_path));
    }
}

bool MqttClient::publish(const MqttMessage& message) {
    if (!connected_) return false;
    int qos = message.retain ? RETAINED_QOS : 0;
    return mosquitto_publish(mosq_, nullptr, message.topic.c_str(),
                             static_cast<int>(message.payload.size()), message.payload.data(), qos,
                             message.retain) == MOSQ_ERR_SUCCESS;
}

void MqttClient::close(const MqttMessage& farewell) {
    if (!thread_.joinable()) return;
    if (!farewell.topic.empty()) publish(farewell);
    {
        std::lock_guard<std::mutex> lock(wait_mutex_);
        stopping_ = true;
    }
    mosquitto_disconnect(mosq_);
    wake_.notify_all();
    thread_.join();
}

void MqttClient::run(const MqttOptions& options) {
    using Clock = std::chrono::steady_clock;
    int code = mosquitto_connect_async(mosq_, options.host.c_str(), options.port,
                                       options.keepalive_seconds);
    if (code != MOSQ_ERR_SUCCESS) failed(mosquitto_strerror(code));
    auto attempt = Clock::now();
    auto deadline = Clock::time_point::max();
    while (true) {
        code = mosquitto_loop(mosq_, LOOP_WAIT_MS, 1);
        if (stopping_) {
            // The farewell and the goodbye go out before the socket closes.
            if (deadline == Clock::time_point::max()) deadline = Clock::now() + CLOSE_WAIT;
            if (code != MOSQ_ERR_SUCCESS || Clock::now() > deadline) break;
            continue;
        }
        if (code == MOSQ_ERR_SUCCESS) {
            // A TLS connection to a port nobody listens on reports no error:
            // an attempt unanswered for this long is taken as failed.
            if (connected_ || Clock::now() - attempt < CONNECT_WAIT) continue;
            failed("no answer within " + std::to_string(CONNECT_WAIT.count()) + " s");
        } else if (code != MOSQ_ERR_NO_CONN && code != MOSQ_ERR_CONN_REFUSED) {
            failed(mosquitto_strerror(code));  // a refusal on_connect reported with its reason
        }
        back_off();
        if (stopping_) break;
        code = mosquitto_reconnect_async(mosq_);
        if (code != MOSQ_ERR_SUCCESS) failed(mosquitto_strerror(code));
        attempt = Clock::now();
    }
}

// Said once for each new reason, so that a broker away for a day does not
// fill the log with one line every 30 s.
void MqttClient::failed(std::string reason) {
    if (!reason.empty() && reason.back() == '.') reason.pop_back();  // libmosquitto's texts end in one
    if (reason == last_failure_) return;
    last_failure_ = reason;
    log_(TANDREL_LOG_WARNING, "MQTT broker " + broker_ + ": " + reason + "; trying again");
}

void MqttClient::back_off() {
    int n = failures_++;
    auto wait = std::chrono::seconds(std::min(MAX_BACKOFF_S, 1 << std::min(n, 5)));
    std::unique_lock<std::mutex> lock(wait_mutex_);
    wake_.wait_for(lock, wait, [this] { return stopping_.load(); });
}

void MqttClient::on_connect(mosquitto*, void* self, int code) {
    auto* client = static_cast<MqttClient*>(self);
    if (code != 0) {
        client->failed(std::string("refused the connection: ") + mosquitto_connack_string(code));
        return;
    }
    client->failures_ = 0;
    client->last_failure_.clear();
    client->connected_ = true;
    client->log_(TANDREL_LOG_INFO, "MQTT broker " + client->broker_ + ": connected");
    client->on_connected_();
}

void MqttClient::on_disconnect(mosquitto*, void* self, int) {
    static_cast<MqttClient*>(self)->connected_ = false;
}

}  // namespace tandrel_site
