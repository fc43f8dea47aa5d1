// One event-log read, whatever it is written to: the file's record count,
// the transfer and the running numbers, fed to an output. The JSON stream and
// the CSV file are two outputs; a new one is one more EventlogOutput.
#pragma once

#include <cstdint>
#include <vector>

namespace tandrel {

class ModbusTcpClient;

// The driver calls begin once the file's record count is known (-1 when the
// meter did not give it), before the transfer; record for every event in
// order, numbered from 1; then end, which may fail the read. An exception
// from any of them ends the read at once, and end is not called.
class EventlogOutput {
public:
    virtual ~EventlogOutput() = default;
    virtual void begin(int file, int total) = 0;
    virtual void record(int no, const std::vector<uint16_t>& record) = 0;
    virtual void end() = 0;
};

// On a connected client: selects the file, reads its count, transfers its
// events to output. Returns the events read.
int drive_eventlog(ModbusTcpClient& client, int file, EventlogOutput& output);

}  // namespace tandrel
