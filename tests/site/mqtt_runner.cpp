// A process that runs the MQTT output until it is killed, for the tests of
// what the broker does when a service dies, and of what a service prints:
// mqtt_runner URL [PASSWORD_FILE], the login as the service reads it.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "mqtt_output.h"

int main(int argc, char** argv) {
    using namespace tandrel_site;
    if (argc < 2) return 2;
    MqttOptions options = parse_mqtt_url(argv[1]);
    read_mqtt_login(options, argc > 2 ? argv[2] : "", std::getenv);
    options.client_id = "tandrel-runner-" + std::to_string(getpid());
    MqttOutput output(options, [](int level, const std::string& message) {
        std::printf("%d %s\n", level, message.c_str());
        std::fflush(stdout);
    });
    MeterState meter;
    meter.name = "runner";
    meter.serial = "1234";
    meter.model = "EM133";
    meter.up = true;
    meter.last_success_ms = 1767225600000;
    meter.readings = {{4352, "V1", "V", 230.5, "230.5"}};
    output.site_changed({meter});
    output.meter_changed(meter);
    for (;;) pause();
}
