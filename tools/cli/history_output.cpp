// The renderings of `tandrel history`. The JSON objects follow the library's
// own stream ("type":"header" then "type":"record", the same member names),
// so that what reads `tandrel datalog --json` reads history too.
#include "history_output.h"

#include "site_names.h"

namespace tandrel_cli {
namespace {

// The tool's own LogKind (views.h) names the same two kinds: these are the store's.
using StoredKind = tandrel_site::LogKind;
using tandrel_site::StoredDatalogRecord;
using tandrel_site::StoredEvent;
using tandrel_site::StoredLog;
using tandrel_site::StoredMeter;

std::string log_name(StoredKind kind, int file_id) {
    return kind == StoredKind::Eventlog ? "event log " + std::to_string(file_id)
                                        : "data log " + std::to_string(file_id);
}

std::string csv_line(const std::vector<std::string>& cells) {
    std::string line;
    for (size_t i = 0; i < cells.size(); ++i) line += (i ? "," : "") + csv_field(cells[i]);
    return line + "\n";
}

std::string meter_json(const StoredMeter& meter) {
    std::string text = "{\"serial\":" + std::to_string(meter.serial) +
                       ",\"model\":" + json_string(meter.model) +
                       ",\"runs\":" + std::to_string(meter.runs) +
                       ",\"first_run\":" + json_string(meter.first_run) +
                       ",\"last_run\":" + json_string(meter.last_run) +
                       ",\"address\":" + json_string(meter.address) +
                       ",\"unit\":" + std::to_string(meter.unit) + ",\"logs\":[";
    for (size_t i = 0; i < meter.logs.size(); ++i) {
        const StoredLog& log = meter.logs[i];
        text += std::string(i ? "," : "") + "{\"file_id\":" + std::to_string(log.file_id) +
                ",\"type\":\"" + (log.kind == StoredKind::Eventlog ? "eventlog" : "datalog") +
                "\",\"records\":" + std::to_string(log.records) +
                ",\"first\":" + json_string(log.first) + ",\"last\":" + json_string(log.last) + "}";
    }
    return text + "]}";
}

std::string meters_table(const std::vector<StoredMeter>& meters) {
    Table runs({{"SERIAL", Align::Right},
                {"MODEL"},
                {"RUNS", Align::Right},
                {"LAST RUN"},
                {"LAST ADDRESS"}});
    Table logs({{"SERIAL", Align::Right},
                {"MODEL"},
                {"LOG"},
                {"RECORDS", Align::Right},
                {"FIRST (UTC)"},
                {"LAST (UTC)"}});
    for (const auto& meter : meters) {
        runs.add_row({std::to_string(meter.serial), meter.model, std::to_string(meter.runs),
                      meter.last_run, meter.address + " unit " + std::to_string(meter.unit)});
        for (const auto& log : meter.logs)
            logs.add_row({std::to_string(meter.serial), meter.model,
                          log_name(log.kind, log.file_id), std::to_string(log.records), log.first,
                          log.last});
    }
    if (meters.empty()) return "The store holds no meters yet\n";
    return runs.render() + "\n" + (logs.rows() ? logs.render() : "No records yet\n");
}

}  // namespace

std::string csv_field(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

std::string stored_meters_text(const std::vector<StoredMeter>& meters, HistoryFormat format) {
    switch (format) {
        case HistoryFormat::Table: return meters_table(meters);
        case HistoryFormat::Json: {
            std::string text = "{\"meters\":[";
            for (size_t i = 0; i < meters.size(); ++i)
                text += (i ? "," : "") + meter_json(meters[i]);
            return text + "]}\n";
        }
        case HistoryFormat::Csv: {
            std::string text =
                csv_line({"serial", "model", "file_id", "type", "records", "first", "last"});
            for (const auto& meter : meters)
                for (const auto& log : meter.logs)
                    text += csv_line({std::to_string(meter.serial), meter.model,
                                      std::to_string(log.file_id),
                                      log.kind == StoredKind::Eventlog ? "eventlog" : "datalog",
                                      std::to_string(log.records), log.first, log.last});
            return text;
        }
    }
    return "";
}

void StoredLogOutput::begin(const std::string& title, const std::vector<std::string>& titles,
                            const std::string& header_json) {
    bool first = layout_id_ < 0;
    flush_table();
    switch (format_) {
        case HistoryFormat::Table:
            std::fprintf(out_, "%s%s of %s %u\n", first ? "" : "\n", title.c_str(),
                         meter_.model.c_str(), meter_.serial);
            columns_.clear();
            for (size_t i = 0; i < titles.size(); ++i)
                columns_.push_back(
                    {titles[i], i == 1 || (i > 2 && numeric_) ? Align::Right : Align::Left});
            break;
        case HistoryFormat::Json: std::fprintf(out_, "%s\n", header_json.c_str()); break;
        case HistoryFormat::Csv: std::fputs(csv_line(titles).c_str(), out_); break;
    }
}

void StoredLogOutput::row(const std::vector<std::string>& cells, const std::string& json) {
    ++records_;
    switch (format_) {
        case HistoryFormat::Table: rows_.push_back(cells); break;
        case HistoryFormat::Json: std::fprintf(out_, "%s\n", json.c_str()); break;
        case HistoryFormat::Csv: std::fputs(csv_line(cells).c_str(), out_); break;
    }
}

void StoredLogOutput::flush_table() {
    if (format_ != HistoryFormat::Table || columns_.empty()) return;
    Table table(columns_);
    for (auto& cells : rows_) table.add_row(std::move(cells));
    std::fputs(table.render().c_str(), out_);
    rows_.clear();
}

void StoredLogOutput::datalog(const StoredDatalogRecord& record) {
    if (record.layout_id != layout_id_) {
        std::vector<std::string> titles = {"TIME (UTC)", "SEQ", "TRIGGER"};
        std::string columns;
        for (const auto& column : *record.columns) {
            titles.push_back(column.unit.empty() ? column.name
                                                 : column.name + " (" + column.unit + ")");
            columns += std::string(columns.empty() ? "" : ",") +
                       "{\"name\":" + json_string(column.name) +
                       ",\"unit\":" + json_string(column.unit) +
                       ",\"decimals\":" + std::to_string(column.decimals) + "}";
        }
        numeric_ = true;
        begin((layout_id_ < 0 ? "Data log " : "Columns changed: data log ") +
                  std::to_string(file_id_),
              titles,
              "{\"type\":\"header\",\"serial\":" + std::to_string(meter_.serial) +
                  ",\"model\":" + json_string(meter_.model) +
                  ",\"file_id\":" + std::to_string(file_id_) + ",\"columns\":[" + columns + "]}");
        layout_id_ = record.layout_id;
    }
    std::vector<std::string> cells = {record.time, std::to_string(record.seq), record.trigger};
    std::string values;
    for (const auto& value : record.values) {
        cells.push_back(value);
        values += (values.empty() ? "" : ",") + value;
    }
    row(cells, "{\"type\":\"record\",\"seq\":" + std::to_string(record.seq) + ",\"timestamp\":\"" +
                   record.time + "\",\"trigger\":" + json_string(record.trigger) + ",\"values\":[" +
                   values + "]}");
}

void StoredLogOutput::event(const StoredEvent& event) {
    if (layout_id_ < 0) {
        begin("Event log " + std::to_string(file_id_),
              {"TIME (UTC)", "SEQ", "EVENT", "CAUSE", "POINT", "STATE", "EFFECT", "TARGET"},
              "{\"type\":\"header\",\"serial\":" + std::to_string(meter_.serial) + ",\"model\":" +
                  json_string(meter_.model) + ",\"file_id\":" + std::to_string(file_id_) + "}");
        layout_id_ = 0;
    }
    std::string raw;
    for (auto [key, value] :
         {std::pair{"source_id", &event.source_id}, std::pair{"effect_id", &event.effect_id},
          std::pair{"value_triggered", &event.value_triggered}})
        if (!value->empty()) raw += std::string(",\"") + key + "\":" + *value;
    row({event.time, std::to_string(event.seq), event.event_no, event.cause, event.point,
         event.state, event.effect, event.target},
        "{\"type\":\"record\",\"seq\":" + std::to_string(event.seq) + ",\"timestamp\":\"" +
            event.time + "\",\"event_no\":" + event.event_no +
            ",\"cause\":" + json_string(event.cause) + ",\"point\":" + json_string(event.point) +
            ",\"state\":" + json_string(event.state) + ",\"effect\":" + json_string(event.effect) +
            ",\"target\":" + json_string(event.target) + raw + "}");
}

void StoredLogOutput::finish() {
    flush_table();
    if (format_ == HistoryFormat::Table)
        std::fprintf(out_,
                     records_ == 0   ? "No records in that time range\n"
                     : records_ == 1 ? "1 record\n"
                                     : "%ld records\n",
                     records_);
}

}  // namespace tandrel_cli
