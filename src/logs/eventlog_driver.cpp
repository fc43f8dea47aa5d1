// The event-log driver: every event record reads alike on every meter, so
// the driver needs no model.
#include "logs/eventlog_driver.h"

#include "logs/log_transfer.h"

namespace tandrel {

int drive_eventlog(ModbusTcpClient& client, int file, EventlogOutput& output) {
    const int total = prepare_log_read(client, file);
    output.begin(file, total);
    int next_no = 1;
    const int read = read_log_file(client, file, total, [&](const std::vector<uint16_t>& r) {
        output.record(next_no++, r);
    });
    output.end();
    return read;
}

}  // namespace tandrel
