// Data log as JSON. Header object: type, meter, host, file_id, total and the
// columns; record object: no, seq, timestamp, trigger and the values.
#include "logs/datalog_read.h"

#include <utility>

#include "core/call_frame.h"
#include "core/json_text.h"
#include "core/meter_model.h"
#include "core/time_text.h"
#include "logs/datalog_columns.h"
#include "logs/datalog_driver.h"
#include "meter/call_opening.h"
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

namespace {

// The JSON stream: the header object always (an empty log has one too), then
// one object per record, each handed to the caller's callback.
class DatalogJson final : public DatalogOutput {
public:
    DatalogJson(std::string prefix, tandrel_output_cb cb, void* user)
        : prefix_(std::move(prefix)), cb_(cb), user_(user) {}

    void begin(const DatalogHead& head) override {
        deliver(cb_, user_, datalog_header_json(prefix_, head.file, head.total, head.columns));
    }

    void record(int no, const std::vector<uint16_t>& record,
                const DatalogColumns& columns) override {
        text_.clear();
        append_datalog_record_json(text_, no, record, columns);
        deliver(cb_, user_, text_);
    }

    void end() override {}

private:
    std::string prefix_;
    tandrel_output_cb cb_;
    void* user_;
    std::string text_;
};

}  // namespace

int stream_datalog(ModbusTcpClient& client, DatalogColumns columns, int file,
                   tandrel_output_cb cb, void* user) {
    DatalogJson output(doc_prefix(client.host(), columns.model), cb, user);
    return drive_datalog(client, file, columns, output);
}

int read_datalog_impl(const char* host, const char* meter, int file_id, const char* options,
                      tandrel_output_cb cb, void* user) {
    const void* callback = reinterpret_cast<const void*>(cb);
    return with_meter({host, meter, options, {callback, "cb"}}, ParseOrder::OptionsFirst,
                      [&](ModbusTcpClient& client, MeterModel model) {
                          DatalogColumns columns = setup_datalog_columns(client, model, file_id);
                          return stream_datalog(client, std::move(columns), file_id, cb, user);
                      });
}

}  // namespace tandrel
