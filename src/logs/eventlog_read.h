// The event log streamed as JSON: one header line, then one line per event,
// each handed to the caller's output callback.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/meter_model.h"
#include "tandrel.h"

namespace tandrel {

class ModbusTcpClient;

// On a connected client: the event log streamed to cb. Returns the records
// handed to it.
int stream_eventlog(ModbusTcpClient& client, MeterModel model, int file, tandrel_output_cb cb,
                    void* user);

// The work behind tandrel_read_eventlog; returns the records handed to cb.
int read_eventlog_impl(const char* host, const char* meter, int file_id, const char* options,
                       tandrel_output_cb cb, void* user);

// {"type":"header","meter":..,"host":..,"file_id":N,"total":N}
std::string eventlog_header_json(const std::string& host, MeterModel model, int file_id,
                                 int total);

// One record object, no line end; `no` is the running number of the call.
std::string event_record_json(int no, const std::vector<uint16_t>& record);

}  // namespace tandrel
