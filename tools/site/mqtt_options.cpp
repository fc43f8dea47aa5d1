// The broker's address, the login and the client id of the MQTT output.
#include "mqtt_options.h"

#include <cctype>
#include <fstream>

#include "endpoint.h"

namespace tandrel_site {
namespace {

// Splits "mqtt://" off; sets tls and the default port.
std::string strip_scheme(const std::string& url, MqttOptions& options) {
    static const struct {
        const char* scheme;
        bool tls;
        int port;
    } SCHEMES[] = {{"mqtt://", false, 1883}, {"mqtts://", true, 8883}};
    for (const auto& s : SCHEMES) {
        std::string scheme = s.scheme;
        if (url.compare(0, scheme.size(), scheme) == 0) {
            options.tls = s.tls;
            options.port = s.port;
            return url.substr(scheme.size());
        }
    }
    throw InputError("the broker must be given as mqtt://HOST[:PORT] or mqtts://HOST[:PORT], not '" +
                     url + "'");
}

}  // namespace

MqttOptions parse_mqtt_url(const std::string& url) {
    MqttOptions options;
    std::string rest = strip_scheme(url, options);
    size_t at = rest.rfind('@');
    if (at != std::string::npos) {
        std::string user = rest.substr(0, at);
        if (user.find(':') != std::string::npos)
            throw InputError("the broker address must not hold a password: give it in " +
                             std::string(MQTT_PASSWORD_VARIABLE) + " or a password file");
        options.username = user;
        rest = rest.substr(at + 1);
    }
    if (!rest.empty() && rest.back() == '/') rest.pop_back();
    if (rest.find('/') != std::string::npos)
        throw InputError("unexpected path in the broker address '" + rest + "'");
    Endpoint endpoint = split_host_port(rest);
    options.host = endpoint.host;
    if (endpoint.port > 0) options.port = endpoint.port;
    return options;
}

void read_mqtt_login(MqttOptions& options, const std::string& password_file,
                     const Environment& environment) {
    const char* user = environment(MQTT_USERNAME_VARIABLE);
    if (options.username.empty() && user) options.username = user;
    if (!password_file.empty()) {
        std::ifstream in(password_file);
        if (!in || !std::getline(in, options.password))
            throw InputError("cannot read the MQTT password file " + password_file);
        if (!options.password.empty() && options.password.back() == '\r')
            options.password.pop_back();
    } else if (const char* password = environment(MQTT_PASSWORD_VARIABLE)) {
        options.password = password;
    }
    if (!options.password.empty() && options.username.empty())
        throw InputError("an MQTT password needs a username: give it in " +
                         std::string(MQTT_USERNAME_VARIABLE) + " or as mqtt://USER@HOST");
}

std::string mqtt_client_id(const std::string& host_name, const std::string& topic_prefix) {
    std::string id = "tandrel-" + topic_word(host_name.empty() ? "host" : host_name);
    if (topic_prefix != MqttOptions{}.topic_prefix) id += "-" + topic_word(topic_prefix);
    return id;
}

std::string topic_word(const std::string& text) {
    std::string word;
    for (unsigned char c : text) {
        if (std::isalnum(c)) {
            word += static_cast<char>(std::tolower(c));
        } else if (!word.empty() && word.back() != '_') {
            word += '_';
        }
    }
    while (!word.empty() && word.back() == '_') word.pop_back();
    return word;
}

}  // namespace tandrel_site
