// A store keeps a site's history: every meter by model and serial, each run
// that saw it, each data log's column layouts, and every data-log record and
// event exactly once. SQLite (a file path) and PostgreSQL (a connection
// string) implement the one interface below; open_store picks by the target.
//
// The calls a collector makes, for each meter it reads:
//   MeterRun run = store->begin_meter_run(meter_sighting(device_info, ...));
//   for each entry of log_entries(logs_document):
//       feed the stream's lines to read_datalog_line (or read_event_line);
//       at a data log's header line: entry.columns = the header's columns,
//           LogRef log = store->begin_log(run, entry);  (an event log: before the stream)
//       every so many records: new_records += store->write(log, batch); batch.clear();
//       after the stream, also when it failed part way: the rest of the batch
//   store->close();
// The header's columns are the ones the records were read with; the
// directory's can differ (a meter that did not list them, whose columns the
// library takes from the first record).
// Each write is one transaction: the batch is kept whole or not at all, and a
// record the store already holds is passed over, so that reading a log again
// stores only what is new. A Store is used by one thread at a time; workers
// that write side by side open one each.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "batches.h"

namespace tandrel_site {

struct MeterRun {
    int64_t meter_id = 0;
    int64_t run_id = 0;
};

struct LogRef {
    MeterRun run;
    int file_id = 0;
    LogKind kind = LogKind::Datalog;
    int64_t layout_id = 0;  // data logs: the layout their records are stored with
    int columns = 0;
};

// A parameter of a query: a whole number or a text.
using QueryParam = std::variant<int64_t, std::string>;

// One cell of a result row: its text, and whether it was NULL. The texts are
// valid only during the call of the row function.
struct Cell {
    std::string_view text;
    bool null = false;
};
using RowFunction = std::function<void(const std::vector<Cell>& row)>;

class Store {
public:
    virtual ~Store() = default;

    // The meter (added on first sight) and a new run of it; one transaction.
    virtual MeterRun begin_meter_run(const MeterSighting& sighting) = 0;

    // One log of the meter as this run reads it, with the layout of a data
    // log's columns (added on first sight); one transaction.
    virtual LogRef begin_log(const MeterRun& run, const LogEntry& entry) = 0;

    // Stores the records not stored before, in one transaction, and returns
    // how many that was. Throws std::runtime_error (nothing of the batch
    // kept) when the store refuses, and for a record with more values than
    // the log's layout has columns.
    virtual size_t write(const LogRef& log, const DatalogBatch& batch) = 0;
    virtual size_t write(const LogRef& log, const EventBatch& batch) = 0;

    // Runs one statement and hands each row to `row`. Parameters are written
    // $1, $2, ... on every database. Times come back as the database gives them
    // (record_time_from_database makes them one form).
    virtual void query(const std::string& sql, const std::vector<QueryParam>& params,
                       const RowFunction& row) = 0;

    // Ends the connection; throws when the database reports a failure doing so.
    virtual void close() = 0;

    // "SQLite" or "PostgreSQL": the few statements that differ choose by it.
    virtual const char* dialect() const = 0;
};

enum class OpenMode {
    Write,  // created when missing, migrated when older
    Read,   // must exist and be of this schema version; never changed
};

// Opens the store a target names: a PostgreSQL connection string
// ("postgresql://...", "postgres://...", or libpq's "key=value ..." words),
// otherwise a SQLite file path. Throws std::runtime_error with a one-line
// message when it cannot be opened or is not a tandrel store of a version
// this build reads. No message repeats a password the target holds.
std::unique_ptr<Store> open_store(const std::string& target, OpenMode mode = OpenMode::Write);

// The schema version this build writes.
constexpr int SCHEMA_VERSION = 2;

}  // namespace tandrel_site
