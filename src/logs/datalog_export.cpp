// Data log as CSV: "No.,Date/Time,Trigger" and the column headers, then per
// record its number, display time, trigger and values. Nothing is quoted:
// every field is a fixed text or a number the library printed.
#include "logs/datalog_export.h"

#include <utility>

#include "core/call_frame.h"
#include "core/meter_model.h"
#include "core/time_text.h"
#include "logs/csv_rows.h"
#include "logs/datalog_columns.h"
#include "logs/datalog_driver.h"
#include "meter/call_opening.h"
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

namespace {

// The CSV file: a title line, then one line per record with progress after
// each. A file without records gets its title line only when the meter named
// its columns; with no column known it stays empty.
class DatalogCsv final : public DatalogOutput {
public:
    DatalogCsv(const std::string& path, tandrel_progress_cb progress, void* user)
        : rows_(path, progress, user) {}

    void begin(const DatalogHead& head) override {
        rows_.set_total(head.total);
        if (head.empty && head.columns.columns.empty()) return;
        rows_.write(datalog_title_line(head.columns));
    }

    void record(int no, const std::vector<uint16_t>& record,
                const DatalogColumns& columns) override {
        rows_.row(no, [&](std::string& line) {
            append_datalog_csv_line(line, no, record, columns);
        });
    }

    void end() override { rows_.close(); }

private:
    CsvRows rows_;
};

}  // namespace

int export_datalog(ModbusTcpClient& client, DatalogColumns columns, int file,
                   const std::string& csv_path, tandrel_progress_cb progress, void* user) {
    DatalogCsv output(csv_path, progress, user);
    return drive_datalog(client, file, columns, output);
}

int export_datalog_ex_impl(const char* host, const char* meter, int file_id,
                           const char* csv_path, const char* options,
                           tandrel_progress_cb progress, void* user) {
    return with_meter({host, meter, options, {csv_path, "csv_path"}}, ParseOrder::OptionsFirst,
                      [&](ModbusTcpClient& client, MeterModel model) {
                          DatalogColumns columns = setup_datalog_columns(client, model, file_id);
                          return export_datalog(client, std::move(columns), file_id, csv_path,
                                                progress, user);
                      });
}

}  // namespace tandrel
