// Data log as CSV: "No.,Date/Time,Trigger" and the column headers, then per
// record its number, display time, trigger and values. Nothing is quoted:
// every field is a fixed text or a number the library printed.
#include "logs/datalog_export.h"

#include "core/call_frame.h"
#include "core/meter_model.h"
#include "core/time_text.h"
#include "logs/csv_file.h"
#include "logs/datalog_columns.h"
#include "logs/log_transfer.h"
#include "modbus/modbus_tcp_client.h"

namespace tandrel {

std::string datalog_title_line(const DatalogColumns& columns) {
    std::string line = "No.,Date/Time,Trigger";
    for (const ColumnFormat& column : columns.columns) {
        line += ',';
        line += column.header;
    }
    line += '\n';
    return line;
}

void append_datalog_csv_line(std::string& out, int no, const std::vector<uint16_t>& record,
                             const DatalogColumns& columns) {
    out += std::to_string(no);
    out += ',';
    append_hmi_datetime(out, record_seconds(record), record_microseconds(record));
    out += ',';
    append_trigger(out, record[6]);
    columns.append_values(out, record, true);
    out += '\n';
}

int export_datalog_impl(ModbusTcpClient& client, MeterModel model, int file,
                        const std::string& csv_path, tandrel_progress_cb progress, void* user) {
    client.connect();
    DatalogColumns columns = setup_datalog_columns(client, model, file);
    CsvFile out = open_csv(csv_path);
    const int total = prepare_log_read(client, file);
    bool header_written = false;
    int next_no = 1;
    std::string line;
    const int written = read_log_file(client, file, total, [&](const std::vector<uint16_t>& r) {
        columns.resolve_late(r);
        if (!header_written) {
            out.write(datalog_title_line(columns));
            header_written = true;
        }
        line.clear();
        append_datalog_csv_line(line, next_no++, r, columns);
        out.write(line);
        report_progress(progress, user, next_no - 1, total);
    });
    if (!header_written && !columns.columns.empty()) out.write(datalog_title_line(columns));
    // Unlike a silent close, a full disk or a failed close fails the export.
    out.close();
    return written;
}

int export_datalog_ex_impl(const char* host, const char* meter, int file_id,
                           const char* csv_path, const char* options,
                           tandrel_progress_cb progress, void* user) {
    require_non_null({{host, "host"}, {meter, "meter"}, {csv_path, "csv_path"}});
    ModbusTcpClient client = client_for(host, options);
    const MeterModel model = parse_meter(meter);
    return export_datalog_impl(client, model, file_id, csv_path, progress, user);
}

}  // namespace tandrel
