// One data-log read, whatever it is written to: the file's record count,
// the transfer, the columns settled late when the meter named none, and the
// running numbers, fed to an output. The JSON stream and the CSV file are two
// outputs; a new one is one more implementation of DatalogOutput.
#pragma once

#include <cstdint>
#include <vector>

namespace tandrel {

class DatalogColumns;
class ModbusTcpClient;

// What an output learns before the first record.
struct DatalogHead {
    int file;
    int total;  // the file's record count; -1 when the meter did not give it
    const DatalogColumns& columns;
    bool empty;  // the file gave no record: begin comes after the transfer
};

// The driver calls begin once, when the columns are settled: just before
// the first record, or after the transfer when the file gave none. Then
// record for every record in order, numbered from 1, with the columns as
// they stand; then end, which may fail the read (a file that cannot be
// completed). An exception from any of them ends the read at once, and end
// is not called.
class DatalogOutput {
public:
    virtual ~DatalogOutput() = default;
    virtual void begin(const DatalogHead& head) = 0;
    virtual void record(int no, const std::vector<uint16_t>& record,
                        const DatalogColumns& columns) = 0;
    virtual void end() = 0;
};

// On a connected client with the file's columns read: selects the file,
// reads its count, transfers its records to output. Returns the records read.
int drive_datalog(ModbusTcpClient& client, int file, DatalogColumns& columns,
                  DatalogOutput& output);

}  // namespace tandrel
