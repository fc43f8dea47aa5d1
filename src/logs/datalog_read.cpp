// Data log as JSON. Header object: type, meter, host, file_id, total and the
// columns; record object: no, seq, timestamp, trigger and the values.
#include "logs/datalog_read.h"

#include "core/call_frame.h"
#include "core/json_text.h"
#include "core/meter_model.h"
#include "core/time_text.h"
#include "logs/datalog_columns.h"
#include "logs/log_transfer.h"
#include "modbus/modbus_tcp_client.h"

namespace tandrel {

std::string datalog_header_json(const std::string& prefix, int file, int total,
                                const DatalogColumns& columns) {
    std::string text = "{\"type\":\"header\",";
    text += prefix;
    text += ",\"file_id\":" + std::to_string(file);
    text += ",\"total\":" + std::to_string(total) + ",";
    append_columns_json(text, columns.columns);
    text += '}';
    return text;
}

void append_datalog_record_json(std::string& out, int no, const std::vector<uint16_t>& record,
                                const DatalogColumns& columns) {
    out += "{\"type\":\"record\",\"no\":";
    out += std::to_string(no);
    out += ",\"seq\":";
    out += std::to_string(record[1]);
    out += ",\"timestamp\":\"";
    append_iso_utc(out, record_seconds(record), record_microseconds(record));
    out += "\",\"trigger\":\"";
    append_trigger(out, record[6]);
    out += "\",\"values\":[";
    columns.append_values(out, record, false);
    out += "]}";
}

int stream_datalog(ModbusTcpClient& client, MeterModel model, int file, tandrel_output_cb cb,
                   void* user) {
    DatalogColumns columns = setup_datalog_columns(client, model, file);
    const std::string prefix = doc_prefix(client.host(), model);
    const int total = prepare_log_read(client, file);
    bool header_sent = false;
    int next_no = 1;
    std::string text;
    const auto send_header = [&] {
        header_sent = true;
        deliver(cb, user, datalog_header_json(prefix, file, total, columns));
    };
    const int delivered = read_log_file(client, file, total, [&](const std::vector<uint16_t>& r) {
        columns.resolve_late(r);
        if (!header_sent) send_header();
        text.clear();
        append_datalog_record_json(text, next_no++, r, columns);
        deliver(cb, user, text);
    });
    if (!header_sent) send_header();
    return delivered;
}

int read_datalog_impl(const char* host, const char* meter, int file_id, const char* options,
                      tandrel_output_cb cb, void* user) {
    const void* callback = reinterpret_cast<const void*>(cb);
    require_non_null({{host, "host"}, {meter, "meter"}, {callback, "cb"}});
    ModbusTcpClient client = client_for(host, options);
    const MeterModel model = parse_meter(meter);
    client.connect();
    return stream_datalog(client, model, file_id, cb, user);
}

}  // namespace tandrel
