// What the stores of every database share: how a layout is named, and the
// checks a batch passes before any of it is written.
#pragma once

#include <string>
#include <vector>

#include "store.h"

namespace tandrel_site {

// The columns as one JSON text, [{"name":"V1","unit":"V","decimals":1},...]:
// a layout's identity within its log, stored with it.
std::string columns_json(const std::vector<LogColumn>& columns);

// "datalog" or "eventlog", as the library's log directory names them.
const char* kind_name(LogKind kind);

// Throws when a record holds more values than the layout has columns (fewer
// is a record the meter cut short, which the library hands on as it is).
void check_batch_fits(const LogRef& log, const DatalogBatch& batch);

// Throws when `log` is not of `kind`: a batch of events for a data log.
void check_log_kind(const LogRef& log, LogKind kind);

}  // namespace tandrel_site
