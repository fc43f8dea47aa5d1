// Event log as CSV. Only the five classification texts are quoted: the time,
// the numbers and the title are the library's own texts.
#include "logs/eventlog_export.h"

#include "core/call_frame.h"
#include "core/meter_model.h"
#include "core/time_text.h"
#include "logs/csv_file.h"
#include "logs/event_decode.h"
#include "logs/log_transfer.h"
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

int export_eventlog_impl(ModbusTcpClient& client, int file, const std::string& csv_path,
                         tandrel_progress_cb progress, void* user) {
    client.connect();
    CsvFile out = open_csv(csv_path);
    out.write(EVENTLOG_CSV_TITLE);
    const int total = prepare_log_read(client, file);
    int next_no = 1;
    std::string line;
    const int written = read_log_file(client, file, total, [&](const std::vector<uint16_t>& r) {
        const int no = next_no++;
        line.clear();
        append_event_csv_line(line, no, r);
        out.write(line);
        report_progress(progress, user, no, total);
    });
    // A full disk or a failed close fails the export rather than passing a
    // cut-short file off as complete.
    out.close();
    return written;
}

int export_eventlog_ex_impl(const char* host, const char* meter, int file_id,
                            const char* csv_path, const char* options,
                            tandrel_progress_cb progress, void* user) {
    require_non_null({{host, "host"}, {meter, "meter"}, {csv_path, "csv_path"}});
    // The model is only checked: the event log reads the same on every meter.
    parse_meter(meter);
    ModbusTcpClient client = client_for(host, options);
    return export_eventlog_impl(client, file_id, csv_path, progress, user);
}

}  // namespace tandrel
