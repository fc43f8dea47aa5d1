// Event log as CSV. Only the five classification texts are quoted: the time,
// the numbers and the title are the library's own texts.
#include "logs/eventlog_export.h"

#include "core/call_frame.h"
#include "core/meter_model.h"
#include "core/time_text.h"
#include "logs/csv_file.h"
#include "logs/csv_rows.h"
#include "logs/event_decode.h"
#include "logs/eventlog_driver.h"
#include "meter/call_opening.h"
#include "modbus/modbus_tcp_client.h"

namespace tandrel {

const char EVENTLOG_CSV_TITLE[] =
    "No.,Date/Time,Event No.,Cause,Point/Source,State,Effect,Target,Source ID,Effect ID,"
    "Value Triggered\n";

void append_event_csv_line(std::string& out, int no, const std::vector<uint16_t>& record) {
    const EventFields f = decode_event(record);
    out += std::to_string(no);
    out += ',';
    append_hmi_datetime(out, event_seconds(record), event_microseconds(record));
    out += ',';
    out += std::to_string(f.event_no);
    for (const std::string* text : {&f.cause, &f.point, &f.state, &f.effect, &f.target}) {
        out += ',';
        out += csv_quote(*text);
    }
    for (const int32_t number : {f.source_id, f.effect_id, f.value_triggered}) {
        out += ',';
        out += std::to_string(number);
    }
    out += '\n';
}

namespace {

// The CSV file: the title line as soon as the file is open, then one row per
// event with progress after each.
class EventlogCsv final : public EventlogOutput {
public:
    EventlogCsv(const std::string& path, tandrel_progress_cb progress, void* user)
        : rows_(path, progress, user) {
        rows_.write(EVENTLOG_CSV_TITLE);
    }

    void begin(int, int total) override { rows_.set_total(total); }

    void record(int no, const std::vector<uint16_t>& record) override {
        rows_.row(no, [&](std::string& line) { append_event_csv_line(line, no, record); });
    }

    void end() override { rows_.close(); }

private:
    CsvRows rows_;
};

}  // namespace

int export_eventlog(ModbusTcpClient& client, int file, const std::string& csv_path,
                    tandrel_progress_cb progress, void* user) {
    EventlogCsv output(csv_path, progress, user);
    return drive_eventlog(client, file, output);
}

// The model is only checked: the event log reads the same on every meter.
int export_eventlog_ex_impl(const char* host, const char* meter, int file_id,
                            const char* csv_path, const char* options,
                            tandrel_progress_cb progress, void* user) {
    return with_meter({host, meter, options, {csv_path, "csv_path"}}, ParseOrder::ModelFirst,
                      [&](ModbusTcpClient& client, MeterModel) {
                          return export_eventlog(client, file_id, csv_path, progress, user);
                      });
}

}  // namespace tandrel
