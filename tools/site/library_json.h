// The library's documents and stream lines turned into what a store keeps:
// the device information into a sighting, the log directory into log
// entries, and each data-log or event-log line into its batch. A record's
// time and values are taken over as the text the library wrote.
#pragma once

#include <string_view>
#include <vector>

#include "batches.h"

namespace tandrel_site {

enum class StreamLine { Header, Record };

// A data-log stream line: a header sets `columns`, a record goes into
// `batch`. Throws std::runtime_error for a line that is neither.
StreamLine read_datalog_line(std::string_view line, std::vector<LogColumn>& columns,
                             DatalogBatch& batch);

// An event-log stream line: a record goes into `batch`, a header is skipped.
StreamLine read_event_line(std::string_view line, EventBatch& batch);

// The meter's identity from the device information document: its serial and
// the model name it reports (the library's model, "em235", when it reports
// none). `address`, `unit` and `time` say where and when this run found it.
MeterSighting meter_sighting(std::string_view device_info, std::string address, int unit,
                             std::string time);

// The entries of the log directory document, in its order.
std::vector<LogEntry> log_entries(std::string_view logs_document);

}  // namespace tandrel_site
