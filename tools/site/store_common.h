// What the stores of every database share: how a layout is named, and the
// checks a batch passes before any of it is written.
#pragma once

#include <functional>
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

// One step of a schema migration: the statements that take a store from
// version `from` to `from` + 1.
struct Migration {
    int from;
    std::vector<const char*> statements;
};

// Runs the steps from `version` up to SCHEMA_VERSION through `exec`, inside
// the caller's transaction; throws naming `store` when a step is missing.
void migrate_schema(const std::vector<Migration>& steps, int version, const std::string& store,
                    const std::function<void(const char*)>& exec);

// Throws for a version newer than this build's; returns `version`.
int checked_schema_version(int version, const std::string& store);

// Throws for a store that is only read and older than this build's schema.
void require_current_schema(int version, const std::string& store);

}  // namespace tandrel_site
