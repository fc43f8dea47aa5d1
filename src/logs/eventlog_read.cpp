// Event log as a JSON stream. Texts from the classification are escaped like
// any other text; time stamps and numbers are printed by the library itself.
#include "logs/eventlog_read.h"

#include <utility>

#include "core/call_frame.h"
#include "core/json_text.h"
#include "core/meter_model.h"
#include "core/time_text.h"
#include "logs/event_decode.h"
#include "logs/eventlog_driver.h"
#include "meter/call_opening.h"
#include "modbus/modbus_tcp_client.h"

namespace tandrel {
namespace {

void append_text_member(std::string& out, const char* key, const std::string& value) {
    out += ",\"";
    out += key;
    out += "\":\"";
    append_json_escaped(out, value);
    out += '"';
}

void append_number_member(std::string& out, const char* key, long long value) {
    out += ",\"";
    out += key;
    out += "\":";
    out += std::to_string(value);
}

}  // namespace

std::string eventlog_header_json(const std::string& host, MeterModel model, int file_id,
                                 int total) {
    std::string out = "{\"type\":\"header\",";
    out += doc_prefix(host, model);
    append_number_member(out, "file_id", file_id);
    append_number_member(out, "total", total);
    out += '}';
    return out;
}

std::string event_record_json(int no, const std::vector<uint16_t>& record) {
    const EventFields f = decode_event(record);
    std::string out = "{\"type\":\"record\"";
    append_number_member(out, "no", no);
    append_number_member(out, "seq", event_sequence(record));
    out += ",\"timestamp\":\"";
    append_iso_utc(out, event_seconds(record), event_microseconds(record));
    out += '"';
    append_number_member(out, "event_no", f.event_no);
    append_text_member(out, "cause", f.cause);
    append_text_member(out, "point", f.point);
    append_text_member(out, "state", f.state);
    append_text_member(out, "effect", f.effect);
    append_text_member(out, "target", f.target);
    append_number_member(out, "source_id", f.source_id);
    append_number_member(out, "effect_id", f.effect_id);
    append_number_member(out, "value_triggered", f.value_triggered);
    out += '}';
    return out;
}

namespace {

// The JSON stream: the header object as soon as the count is known, then one
// object per event, each handed to the caller's callback.
class EventlogJson final : public EventlogOutput {
public:
    EventlogJson(std::string host, MeterModel model, tandrel_output_cb cb, void* user)
        : host_(std::move(host)), model_(model), cb_(cb), user_(user) {}

    void begin(int file, int total) override {
        deliver(cb_, user_, eventlog_header_json(host_, model_, file, total));
    }

    void record(int no, const std::vector<uint16_t>& record) override {
        deliver(cb_, user_, event_record_json(no, record));
    }

    void end() override {}

private:
    std::string host_;
    MeterModel model_;
    tandrel_output_cb cb_;
    void* user_;
};

}  // namespace

int stream_eventlog(ModbusTcpClient& client, MeterModel model, int file, tandrel_output_cb cb,
                    void* user) {
    EventlogJson output(client.host(), model, cb, user);
    return drive_eventlog(client, file, output);
}

int read_eventlog_impl(const char* host, const char* meter, int file_id, const char* options,
                       tandrel_output_cb cb, void* user) {
    const void* callback = reinterpret_cast<const void*>(cb);
    return with_meter({host, meter, options, {callback, "cb"}}, ParseOrder::OptionsFirst,
                      [&](ModbusTcpClient& client, MeterModel model) {
                          return stream_eventlog(client, model, file_id, cb, user);
                      });
}

}  // namespace tandrel
