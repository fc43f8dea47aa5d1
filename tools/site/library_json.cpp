// Member by member over the library's JSON; members this store does not keep
// ("no", "total", "meter", "host") are passed over, and members it needs but
// does not find make the line an error rather than a record with a hole.
#include "library_json.h"

#include <stdexcept>

#include "json_scan.h"

namespace tandrel_site {
namespace {

std::vector<LogColumn> columns_of(std::string_view array) {
    std::vector<LogColumn> columns;
    JsonArrayReader items(array);
    std::string_view item, key, value;
    while (items.next(item)) {
        LogColumn column;
        JsonObjectReader members(item);
        while (members.next(key, value)) {
            if (key == "name")
                column.name = json_text(value);
            else if (key == "unit")
                column.unit = json_text(value);
            else if (key == "decimals")
                column.decimals = static_cast<int>(json_integer(value, "decimals"));
        }
        columns.push_back(std::move(column));
    }
    return columns;
}

[[noreturn]] void missing(const char* what, std::string_view line) {
    throw std::runtime_error(std::string("Malformed JSON from the library: no ") + what + " in '" +
                             std::string(line.substr(0, 80)) + "'");
}

int seq_of(std::string_view value) { return static_cast<int>(json_integer(value, "seq")); }

// The text between the quotes when it has no escapes, which record times and
// triggers never have; otherwise the unescaped copy in `keep`.
std::string_view plain_text(std::string_view value, std::string& keep) {
    if (value.size() >= 2 && value.front() == '"' && value.find('\\') == std::string_view::npos)
        return value.substr(1, value.size() - 2);
    keep = json_text(value);
    return keep;
}

}  // namespace

StreamLine read_datalog_line(std::string_view line, std::vector<LogColumn>& columns,
                             DatalogBatch& batch) {
    JsonObjectReader members(line);
    std::string_view key, value, type, time, trigger, values;
    std::string time_copy, trigger_copy;
    int seq = -1;
    while (members.next(key, value)) {
        if (key == "type")
            type = value;
        else if (key == "seq")
            seq = seq_of(value);
        else if (key == "timestamp")
            time = plain_text(value, time_copy);
        else if (key == "trigger")
            trigger = plain_text(value, trigger_copy);
        else if (key == "values")
            values = value;
        else if (key == "columns")
            columns = columns_of(value);
    }
    if (type == "\"header\"") return StreamLine::Header;
    if (type != "\"record\"") missing("record type", line);
    if (seq < 0 || time.empty() || values.empty()) missing("seq, timestamp or values", line);
    batch.add(time, seq, trigger, values);
    return StreamLine::Record;
}

StreamLine read_event_line(std::string_view line, EventBatch& batch) {
    JsonObjectReader members(line);
    std::string_view key, value, type;
    std::string time, cause, point, state, effect, target;
    EventRow row;
    row.seq = -1;
    while (members.next(key, value)) {
        if (key == "type")
            type = value;
        else if (key == "seq")
            row.seq = seq_of(value);
        else if (key == "timestamp")
            time = json_text(value);
        else if (key == "event_no")
            row.event_no = static_cast<int>(json_integer(value, "event_no"));
        else if (key == "cause")
            cause = json_text(value);
        else if (key == "point")
            point = json_text(value);
        else if (key == "state")
            state = json_text(value);
        else if (key == "effect")
            effect = json_text(value);
        else if (key == "target")
            target = json_text(value);
        else if (key == "source_id")
            row.source_id = static_cast<int>(json_integer(value, "source_id"));
        else if (key == "effect_id")
            row.effect_id = static_cast<int>(json_integer(value, "effect_id"));
        else if (key == "value_triggered")
            row.value_triggered = json_integer(value, "value_triggered");
    }
    if (type == "\"header\"") return StreamLine::Header;
    if (type != "\"record\"") missing("record type", line);
    if (row.seq < 0 || time.empty()) missing("seq or timestamp", line);
    row.time = time, row.cause = cause, row.point = point, row.state = state;
    row.effect = effect, row.target = target;
    batch.add(row);
    return StreamLine::Record;
}

MeterSighting meter_sighting(std::string_view device_info, std::string address, int unit,
                             std::string time) {
    MeterSighting sighting;
    std::string family;
    int64_t serial = -1;
    JsonObjectReader members(device_info);
    std::string_view key, value;
    while (members.next(key, value)) {
        if (key == "serial")
            serial = json_integer(value, "serial");
        else if (key == "model_name")
            sighting.model = json_text(value);
        else if (key == "meter")
            family = json_text(value);
    }
    if (serial < 0 || serial > 0xFFFFFFFFLL) missing("serial number", device_info);
    if (sighting.model.empty()) sighting.model = family;
    if (sighting.model.empty()) missing("model", device_info);
    sighting.serial = static_cast<uint32_t>(serial);
    sighting.address = std::move(address);
    sighting.unit = unit;
    sighting.device_info = std::string(device_info);
    sighting.time = std::move(time);
    return sighting;
}

std::vector<LogEntry> log_entries(std::string_view logs_document) {
    std::vector<LogEntry> entries;
    JsonObjectReader members(logs_document);
    std::string_view key, value, item;
    while (members.next(key, value)) {
        if (key != "logs") continue;
        JsonArrayReader logs(value);
        while (logs.next(item)) {
            LogEntry entry;
            JsonObjectReader fields(item);
            while (fields.next(key, value)) {
                if (key == "file_id")
                    entry.file_id = static_cast<int>(json_integer(value, "file_id"));
                else if (key == "type")
                    entry.kind =
                        json_text(value) == "eventlog" ? LogKind::Eventlog : LogKind::Datalog;
                else if (key == "records")
                    entry.records = static_cast<int>(json_integer(value, "records"));
                else if (key == "columns")
                    entry.columns = columns_of(value);
            }
            entries.push_back(std::move(entry));
        }
    }
    return entries;
}

}  // namespace tandrel_site
