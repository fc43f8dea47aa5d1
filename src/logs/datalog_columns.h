// The column layout of one data-log file: the meter's point ids and the
// format of every column, resolved once and applied to every record.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "core/meter_model.h"
#include "meter/data_scales.h"
#include "meter/value_format.h"

namespace tandrel {

class ModbusTcpClient;

class DatalogColumns {
public:
    DatalogColumns(MeterModel for_model, DataScales meter_scales)
        : model(for_model), scales(std::move(meter_scales)) {}

    // Rebuilds columns for n columns; point id 0 where point_ids runs short.
    void resolve(int n);

    // Infers the columns from a record when the meter named none (the first
    // record normally; again while records stay shorter than 10 words).
    void resolve_late(const std::vector<uint16_t>& record);

    // The formatted value of each column the record holds, in column order.
    std::vector<std::string> values(const std::vector<uint16_t>& record) const;

    // The same texts appended to out, separated by commas, with a comma
    // before the first one too when comma_first: the allocation-free form
    // for per-record loops (JSON arrays and CSV lines).
    void append_values(std::string& out, const std::vector<uint16_t>& record,
                       bool comma_first) const;

    MeterModel model;
    DataScales scales;
    std::vector<uint16_t> point_ids;
    std::vector<ColumnFormat> columns;

private:
    int value_count(const std::vector<uint16_t>& record) const;
    std::string value_text(const std::vector<uint16_t>& record, int column) const;
};

// Reads File Info variation 2 on a connected client whose setup is known; a
// failed File Info leaves the columns to late resolution, silently.
DatalogColumns read_datalog_columns(ModbusTcpClient& client, MeterModel model,
                                   const DataScales& scales, int file);

// The setup values, then read_datalog_columns: what every plain call reads.
DatalogColumns setup_datalog_columns(ModbusTcpClient& client, MeterModel model, int file);

// `"columns":[{"name":..,"unit":..,"decimals":..},...]`, as the log
// directory and the data-log header list them.
void append_columns_json(std::string& out, const std::vector<ColumnFormat>& columns);

// Record word 6: "SP", "SP1".."SP16", else "0x" and four upper-case hex digits.
std::string fmt_trigger_event_type(uint16_t trigger);
void append_trigger(std::string& out, uint16_t trigger);

// Record words 2-3 (seconds) and 4-5 (microseconds), low-order word first.
uint32_t record_seconds(const std::vector<uint16_t>& record);
uint32_t record_microseconds(const std::vector<uint16_t>& record);

}  // namespace tandrel
