// How the service reaches an MQTT broker: the broker's address from a
// mqtt:// or mqtts:// text, the login from the environment or a file (a
// command line is visible to every user of the machine, and shells keep it in
// their history), and the names the service publishes under.
#pragma once

#include <functional>
#include <string>

namespace tandrel_site {

struct MqttOptions {
    std::string host;
    int port = 1883;  // 8883 for mqtts:// when none is given
    bool tls = false;
    std::string ca_file;  // TLS: the CA certificate to trust; "" trusts the system's
    std::string username;
    std::string password;  // never printed, logged or put in a message
    std::string client_id;
    std::string topic_prefix = "tandrel";
    std::string discovery_prefix = "homeassistant";
    int keepalive_seconds = 30;
};

// The environment variables the login is read from.
constexpr const char* MQTT_USERNAME_VARIABLE = "TANDREL_MQTT_USERNAME";
constexpr const char* MQTT_PASSWORD_VARIABLE = "TANDREL_MQTT_PASSWORD";

// "mqtt://HOST", "mqtt://HOST:PORT", "mqtts://[::1]:8883", "mqtt://USER@HOST".
// Throws InputError for another scheme, a bad host or port, a path, and a
// password written into the text.
MqttOptions parse_mqtt_url(const std::string& url);

using Environment = std::function<const char*(const char* name)>;

// The username from the text's USER@ or else TANDREL_MQTT_USERNAME; the
// password from `password_file` (its first line) when given, else from
// TANDREL_MQTT_PASSWORD. Throws InputError for a file that cannot be read
// and for a password without a username; neither message holds the password.
void read_mqtt_login(MqttOptions& options, const std::string& password_file,
                     const Environment& environment);

// "tandrel-HOSTNAME": the same on every start, so that the broker takes a
// restarted service for the client it was; the prefix is added when it is not
// the default, so that two services on one machine do not push each other out.
std::string mqtt_client_id(const std::string& host_name, const std::string& topic_prefix);

// A topic level or an id from a free text: lower-case letters, digits and
// "_", which every broker and Home Assistant accept ("kWh import" gives
// "kwh_import").
std::string topic_word(const std::string& text);

}  // namespace tandrel_site
