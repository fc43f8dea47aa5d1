// The serve command's MQTT options, and the output they make.
#include "mqtt_flags.h"

#include <cstdlib>

#include "endpoint.h"
#include "mqtt_options.h"

#ifdef TANDREL_HAS_MQTT
#include <unistd.h>

#include "mqtt_output.h"
#endif

namespace tandrel_cli {

void add_mqtt_flags(CLI::App& command, MqttFlags& flags) {
    command.add_option("--mqtt", flags.url,
                       "Publish live values and Home Assistant discovery to this broker: "
                       "mqtt://HOST[:PORT] or mqtts://HOST[:PORT]; the login comes from "
                       "TANDREL_MQTT_USERNAME and TANDREL_MQTT_PASSWORD or --mqtt-password-file");
    command.add_option("--mqtt-ca", flags.ca_file, "CA certificate to check an mqtts:// broker with")
        ->check(CLI::ExistingFile);
    command.add_option("--mqtt-password-file", flags.password_file,
                       "File whose first line is the broker password")
        ->check(CLI::ExistingFile);
    command.add_option("--mqtt-prefix", flags.prefix, "Topic prefix of the state and status topics")
        ->capture_default_str();
    command.add_option("--mqtt-discovery-prefix", flags.discovery_prefix,
                       "Home Assistant's discovery prefix")
        ->capture_default_str();
}

std::unique_ptr<tandrel_site::LiveOutput> open_mqtt_output(const MqttFlags& flags,
                                                           tandrel_site::OutputLog log) {
    if (flags.url.empty()) return nullptr;
    tandrel_site::MqttOptions options = tandrel_site::parse_mqtt_url(flags.url);
    tandrel_site::read_mqtt_login(options, flags.password_file, std::getenv);
    options.ca_file = flags.ca_file;
    options.topic_prefix = flags.prefix;
    options.discovery_prefix = flags.discovery_prefix;
    for (const std::string* prefix : {&options.topic_prefix, &options.discovery_prefix})
        if (prefix->empty() || prefix->find_first_of("+#") != std::string::npos)
            throw tandrel_site::InputError("an MQTT topic prefix must not be empty or hold + or #: '" +
                                           *prefix + "'");
#ifdef TANDREL_HAS_MQTT
    char host[256] = {};
    gethostname(host, sizeof host - 1);
    options.client_id = tandrel_site::mqtt_client_id(host, options.topic_prefix);
    return std::make_unique<tandrel_site::MqttOutput>(options, std::move(log));
#else
    (void)log;
    throw tandrel_site::InputError("this build of tandrel has no MQTT output (built without libmosquitto)");
#endif
}

}  // namespace tandrel_cli
