// File Info: an 8-register request at 0xFDB0 (word 0 = 9, word 1 = file,
// word 5 = variation), 8 registers at 0xFDB8 read and discarded, then the
// response at 0xFDC0.
#include "logs/file_info.h"

#include "core/call_frame.h"
#include "core/json_text.h"
#include "core/meter_model.h"
#include "logs/datalog_columns.h"
#include "meter/call_opening.h"
#include "meter/data_scales.h"
#include "modbus/modbus_tcp_client.h"

namespace tandrel {
namespace {

constexpr uint16_t FILE_INFO_REQUEST = 0xFDB0;
constexpr uint16_t FILE_INFO_STATUS = 0xFDB8;
constexpr uint16_t FILE_INFO_RESPONSE = 0xFDC0;
constexpr uint16_t VAR0_WORDS = 14;
constexpr uint16_t VAR2_WORDS = 18;
constexpr int MAX_COLUMNS = 16;
constexpr int LAST_DATA_LOG = 16;

uint16_t word_at(const std::vector<uint16_t>& words, size_t index) {
    return index < words.size() ? words[index] : 0;
}

bool is_column_count(uint16_t value) { return value >= 1 && value <= MAX_COLUMNS; }

std::vector<uint16_t> file_info_request(ModbusTcpClient& client, int file, uint16_t variation,
                                        uint16_t response_words) {
    const uint16_t file_word = static_cast<uint16_t>(file);
    client.write_multiple_registers(FILE_INFO_REQUEST, {9, file_word, 0, 0, 0, variation, 0, 0});
    read_words(client, FILE_INFO_STATUS, 8);
    return read_words(client, FILE_INFO_RESPONSE, response_words);
}

}  // namespace

FileInfo decode_file_info(const std::vector<uint16_t>& response) {
    FileInfo info;
    info.valid = true;
    info.records = word_at(response, 8);
    info.current_pos = word_at(response, 10);
    info.start_pos = word_at(response, 12);
    return info;
}

FileLayout decode_file_layout(const std::vector<uint16_t>& response) {
    // Meters differ in whether the count sits in word 1 or word 0; word 1 wins.
    FileLayout layout;
    size_t first = 0;
    if (is_column_count(word_at(response, 1))) {
        layout.column_count = word_at(response, 1);
        first = 2;
    } else if (is_column_count(word_at(response, 0))) {
        layout.column_count = word_at(response, 0);
        first = 1;
    }
    for (int i = 0; i < layout.column_count; ++i) {
        layout.point_ids.push_back(word_at(response, first + static_cast<size_t>(i)));
    }
    return layout;
}

FileInfo read_file_info(ModbusTcpClient& client, int file) {
    // A probe: the caller treats a file the meter refuses as absent or its count as unknown.
    FileInfo info;
    read_optional(client, [&] { info = decode_file_info(file_info_request(client, file, 0, VAR0_WORDS)); });
    return info;
}

FileLayout read_file_layout(ModbusTcpClient& client, int file) {
    return decode_file_layout(file_info_request(client, file, 2, VAR2_WORDS));
}

void append_log_entry(std::string& doc, int file, int records,
                      const std::vector<ColumnFormat>* columns) {
    doc += "{\"file_id\":" + std::to_string(file);
    doc += columns == nullptr ? ",\"type\":\"eventlog\"" : ",\"type\":\"datalog\"";
    doc += ",\"records\":" + std::to_string(records);
    if (columns != nullptr) {
        doc += ',';
        append_columns_json(doc, *columns);
    }
    doc += '}';
}

namespace {

// A data log's entry when it has records or columns; false when it has neither.
bool append_data_log_entry(std::string& doc, ModbusTcpClient& client, int file,
                           MeterModel model, const DataScales& scales, bool first) {
    const FileInfo info = read_file_info(client, file);
    if (!info.valid) return false;
    FileLayout layout;  // listed without columns when the meter refuses variation 2
    read_optional(client, [&] { layout = read_file_layout(client, file); });
    if (layout.column_count == 0 && info.records == 0) return false;
    std::vector<ColumnFormat> columns;
    for (size_t i = 0; i < layout.point_ids.size(); ++i) {
        columns.push_back(
            resolve_column(layout.point_ids[i], static_cast<int>(i) + 1, model, scales));
    }
    if (!first) doc += ',';
    append_log_entry(doc, file, info.records, &columns);
    return true;
}

}  // namespace

int list_logs(ModbusTcpClient& client, MeterModel model, const DataScales& scales, char* out,
              int out_len) {
    std::string doc = "{" + doc_prefix(client.host(), model) + ",\"logs\":[";
    int entries = 0;
    const FileInfo event_log = read_file_info(client, 0);
    if (event_log.valid) {
        append_log_entry(doc, 0, event_log.records, nullptr);
        ++entries;
    }
    for (int file = 1; file <= LAST_DATA_LOG; ++file) {
        if (append_data_log_entry(doc, client, file, model, scales, entries == 0)) ++entries;
    }
    doc += "]}";
    write_out(doc, out, out_len);
    return entries;
}

int list_logs_impl(const char* host, const char* meter, const char* options, char* out,
                   int out_len) {
    return with_meter({host, meter, options, {out, "out"}}, ParseOrder::OptionsFirst,
                      [&](ModbusTcpClient& client, MeterModel model) {
                          const DataScales scales = read_data_scales(client, model);
                          return list_logs(client, model, scales, out, out_len);
                      });
}

}  // namespace tandrel
