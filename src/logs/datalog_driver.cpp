// The data-log driver. The head waits for the first record because a meter
// that named no columns leaves them to be inferred from that record.
#include "logs/datalog_driver.h"

#include "logs/datalog_columns.h"
#include "logs/log_transfer.h"

namespace tandrel {

int drive_datalog(ModbusTcpClient& client, int file, DatalogColumns& columns,
                  DatalogOutput& output) {
    const int total = prepare_log_read(client, file);
    int next_no = 1;
    const int read = read_log_file(client, file, total, [&](const std::vector<uint16_t>& r) {
        columns.resolve_late(r);
        if (next_no == 1) output.begin({file, total, columns, false});
        output.record(next_no++, r, columns);
    });
    if (next_no == 1) output.begin({file, total, columns, true});
    output.end();
    return read;
}

}  // namespace tandrel
