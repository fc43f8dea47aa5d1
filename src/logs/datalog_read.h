// A data-log file streamed as JSON: one header object, then one object per
// record, each handed to the caller's output callback as it arrives.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/meter_model.h"
#include "tandrel.h"

namespace tandrel {

class ModbusTcpClient;
class DatalogColumns;

// The work behind tandrel_read_datalog. Returns the records delivered.
int read_datalog_impl(const char* host, const char* meter, int file_id, const char* options,
                      tandrel_output_cb cb, void* user);

// On a connected client with the file's columns read: the transfer and its
// delivery to cb. Returns the records delivered.
int stream_datalog(ModbusTcpClient& client, DatalogColumns columns, int file,
                   tandrel_output_cb cb, void* user);

// The JSON texts, pure: the header object and one record object.
std::string datalog_header_json(const std::string& prefix, int file, int total,
                                const DatalogColumns& columns);
void append_datalog_record_json(std::string& out, int no, const std::vector<uint16_t>& record,
                                const DatalogColumns& columns);

}  // namespace tandrel
