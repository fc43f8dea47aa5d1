// Data-log records: word 0 flags, 1 sequence number, 2-3 seconds, 4-5
// microseconds, 6 trigger, 7 unused, then one signed 32-bit value per column
// at words 8 + 2i (low half) and 9 + 2i (high half).
#include "logs/datalog_columns.h"

#include "core/hex_text.h"
#include "core/json_text.h"
#include "logs/file_info.h"
#include "modbus/modbus_tcp_client.h"
#include "modbus/word_pair.h"

namespace tandrel {
namespace {

constexpr size_t FIRST_VALUE_WORD = 8;

}  // namespace

void DatalogColumns::resolve(int n) {
    columns.clear();
    columns.reserve(static_cast<size_t>(n > 0 ? n : 0));
    for (int c = 1; c <= n; ++c) {
        const size_t index = static_cast<size_t>(c - 1);
        const uint16_t id = index < point_ids.size() ? point_ids[index] : 0;
        columns.push_back(resolve_column(id, c, model, scales));
    }
}

void DatalogColumns::resolve_late(const std::vector<uint16_t>& record) {
    if (!columns.empty()) return;
    const int words = static_cast<int>(record.size());
    resolve(words < 10 ? 0 : words / 2 - 4);
}

int DatalogColumns::value_count(const std::vector<uint16_t>& record) const {
    // Column i needs words 8 + 2i and 9 + 2i; a short record gives fewer values.
    const size_t held = record.size() < FIRST_VALUE_WORD ? 0
                                                         : (record.size() - FIRST_VALUE_WORD) / 2;
    return static_cast<int>(held < columns.size() ? held : columns.size());
}

std::string DatalogColumns::value_text(const std::vector<uint16_t>& record, int column) const {
    const size_t low = FIRST_VALUE_WORD + 2 * static_cast<size_t>(column);
    const int32_t raw = static_cast<int32_t>(low_word_first(record[low], record[low + 1]));
    return format_value(raw, columns[static_cast<size_t>(column)]);
}

std::vector<std::string> DatalogColumns::values(const std::vector<uint16_t>& record) const {
    const int n = value_count(record);
    std::vector<std::string> texts;
    texts.reserve(columns.size());
    for (int i = 0; i < n; ++i) texts.push_back(value_text(record, i));
    return texts;
}

void DatalogColumns::append_values(std::string& out, const std::vector<uint16_t>& record,
                                   bool comma_first) const {
    const int n = value_count(record);
    for (int i = 0; i < n; ++i) {
        if (i > 0 || comma_first) out.push_back(',');
        out += value_text(record, i);
    }
}

DatalogColumns read_datalog_columns(ModbusTcpClient& client, MeterModel model,
                                   const DataScales& scales, int file) {
    DatalogColumns layout(model, scales);
    int count = 0;
    // A meter that refuses the layout is no error: the columns come from the first record.
    read_optional(client, [&] {
        FileLayout info = read_file_layout(client, file);
        layout.point_ids = std::move(info.point_ids);
        count = info.column_count;
    });
    if (count > 0) layout.resolve(count);
    return layout;
}

DatalogColumns setup_datalog_columns(ModbusTcpClient& client, MeterModel model, int file) {
    return read_datalog_columns(client, model, read_data_scales(client, model), file);
}

void append_trigger(std::string& out, uint16_t trigger) {
    if (trigger > 16) {
        append_hex(out, trigger, 4);
        return;
    }
    out += "SP";
    if (trigger >= 10) out.push_back('1');
    if (trigger > 0) out.push_back(static_cast<char>('0' + trigger % 10));
}

void append_columns_json(std::string& out, const std::vector<ColumnFormat>& columns) {
    out += "\"columns\":[";
    for (size_t i = 0; i < columns.size(); ++i) {
        if (i > 0) out += ',';
        out += "{\"name\":\"";
        append_json_escaped(out, columns[i].name);
        out += "\",\"unit\":\"";
        append_json_escaped(out, columns[i].unit);
        out += "\",\"decimals\":" + std::to_string(columns[i].decimals) + "}";
    }
    out += ']';
}

std::string fmt_trigger_event_type(uint16_t trigger) {
    std::string text;
    append_trigger(text, trigger);
    return text;
}

uint32_t record_seconds(const std::vector<uint16_t>& record) {
    return record.size() < 4 ? 0 : low_word_first(record[2], record[3]);
}

uint32_t record_microseconds(const std::vector<uint16_t>& record) {
    return record.size() < 6 ? 0 : low_word_first(record[4], record[5]);
}

}  // namespace tandrel
