// What the store tests share: a fresh store of either database, made from
// real servers (a SQLite file in a temporary folder, a database on the one
// PostgreSQL server this test process starts on first use), known records to
// write, and the rows a query returns.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "batches.h"
#include "store.h"
#include "support/postgres_server.h"
#include "support/temp_dir.h"

namespace tandrel_site::testing {

enum class Backend { SQLite, PostgreSQL };

std::string backend_name(Backend backend);

// This process's PostgreSQL server, started on first use, stopped at exit.
tandrel::testing::PostgresServer& postgres_server();

// A target nobody has used: a file path that does not exist yet, or a new
// empty database.
class FreshTarget {
public:
    explicit FreshTarget(Backend backend);
    const std::string& target() const { return target_; }
    std::string file(const std::string& name) const { return dir_.file(name); }

private:
    tandrel::testing::TempDir dir_;
    std::string target_;
};

// Columns V1..Vn in volts with one decimal.
std::vector<LogColumn> volt_columns(int count);

// `count` records one second apart from 2026-12-05T00:00:00.000Z plus
// `first` seconds, seq = (first_seq + i) modulo 65536, values "[i.5,...]" of
// `values` numbers.
DatalogBatch datalog_batch(int first, int count, int first_seq, int values);

// A meter as a run sees it: model EM235 unless given.
MeterSighting sighting(uint32_t serial, const std::string& address = "192.0.2.10:502",
                       const std::string& model = "EM235");

LogEntry datalog_entry(int file_id, const std::vector<LogColumn>& columns);
LogEntry eventlog_entry(int file_id = 0);

// Every row of a query as texts, NULL as "NULL"; times in the stored form.
using Rows = std::vector<std::vector<std::string>>;
Rows rows(Store& store, const std::string& sql, const std::vector<QueryParam>& params = {});

// The message open_store fails with, or "opened".
std::string open_failure(const std::string& target, OpenMode mode = OpenMode::Write);

// count(*) of a query's rows, as a number.
long count(Store& store, const std::string& from_where);

}  // namespace tandrel_site::testing
