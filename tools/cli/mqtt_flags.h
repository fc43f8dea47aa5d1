// The MQTT options of `tandrel serve`, declared here so that the command adds
// them with one call and gets its output with another (docs/mqtt.md).
#pragma once

#include <CLI/CLI.hpp>
#include <memory>
#include <string>

#include "live_output.h"
#include "mqtt_client.h"

namespace tandrel_cli {

struct MqttFlags {
    std::string url;  // "" when no --mqtt was given
    std::string ca_file;
    std::string password_file;
    std::string prefix = "tandrel";
    std::string discovery_prefix = "homeassistant";
};

// --mqtt URL, --mqtt-ca FILE, --mqtt-password-file FILE, --mqtt-prefix,
// --mqtt-discovery-prefix. There is no option for the password itself.
void add_mqtt_flags(CLI::App& command, MqttFlags& flags);

// The MQTT output the flags ask for, connecting in the background; nullptr
// without --mqtt. Throws InputError for a bad address, an unreadable password
// file or a build without MQTT, std::runtime_error for what libmosquitto refuses.
std::unique_ptr<tandrel_site::LiveOutput> open_mqtt_output(const MqttFlags& flags,
                                                           tandrel_site::OutputLog log);

}  // namespace tandrel_cli
