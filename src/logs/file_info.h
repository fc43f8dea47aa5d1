// The meter's File Info requests: a log file's record count and read
// positions (variation 0) and a data log's column point ids (variation 2).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/meter_model.h"
#include "meter/data_scales.h"
#include "meter/value_format.h"

namespace tandrel {

class ModbusTcpClient;

struct FileInfo {
    bool valid = false;
    int32_t records = 0;
    uint16_t current_pos = 0;
    uint16_t start_pos = 0;
};

struct FileLayout {
    int32_t column_count = 0;
    std::vector<uint16_t> point_ids;
};

// Pure decoders of the 14-word and 18-word responses; shorter input decodes
// as far as it goes (a missing word reads as 0).
FileInfo decode_file_info(const std::vector<uint16_t>& response);
FileLayout decode_file_layout(const std::vector<uint16_t>& response);

// A file the meter refuses gives valid == false and all members 0; only a
// broken connection throws.
FileInfo read_file_info(ModbusTcpClient& client, int file);

// Register failures propagate; callers fall back to no columns.
FileLayout read_file_layout(ModbusTcpClient& client, int file);

// On a connected client whose setup is known: probes files 0 to 16 and
// writes the directory of those that answer to out. Returns the number of entries.
int list_logs(ModbusTcpClient& client, MeterModel model, const DataScales& scales, char* out,
              int out_len);

// The work behind tandrel_list_logs: the setup, then list_logs.
int list_logs_impl(const char* host, const char* meter, const char* options, char* out,
                   int out_len);

// One directory entry, pure; columns is null for the event log.
void append_log_entry(std::string& doc, int file, int records,
                      const std::vector<ColumnFormat>* columns);

}  // namespace tandrel
