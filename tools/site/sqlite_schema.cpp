// Schema version 2 for SQLite. A record's key is (meter, file, time, seq):
// docs/history.md says why. Record tables are WITHOUT ROWID, so the key is
// the table's only B-tree and a record costs one insertion. Values are kept
// as the JSON array the library wrote: SQLite has no decimal type, and the
// text keeps the meter's digits; the view reads them through json_each.
#include "sqlite_schema.h"

#include "store_common.h"

#include <sqlite3.h>

#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace tandrel_site {
namespace {

const char* const CREATE_TABLES = R"(
CREATE TABLE tandrel_meta (key TEXT PRIMARY KEY, value TEXT NOT NULL);
CREATE TABLE meters (
  meter_id INTEGER PRIMARY KEY,
  model TEXT NOT NULL,
  serial INTEGER NOT NULL,
  UNIQUE (model, serial));
CREATE TABLE runs (
  run_id INTEGER PRIMARY KEY,
  meter_id INTEGER NOT NULL REFERENCES meters,
  time TEXT NOT NULL,
  address TEXT NOT NULL,
  unit INTEGER NOT NULL,
  device_info TEXT NOT NULL);
CREATE INDEX runs_of_meter ON runs (meter_id, run_id);
CREATE TABLE layouts (
  layout_id INTEGER PRIMARY KEY,
  meter_id INTEGER NOT NULL REFERENCES meters,
  file_id INTEGER NOT NULL,
  columns TEXT NOT NULL,
  UNIQUE (meter_id, file_id, columns));
CREATE TABLE layout_columns (
  layout_id INTEGER NOT NULL REFERENCES layouts,
  position INTEGER NOT NULL,
  name TEXT NOT NULL,
  unit TEXT NOT NULL,
  decimals INTEGER NOT NULL,
  PRIMARY KEY (layout_id, position)) WITHOUT ROWID;
CREATE TABLE datalog_rows (
  meter_id INTEGER NOT NULL REFERENCES meters,
  file_id INTEGER NOT NULL,
  time TEXT NOT NULL,
  seq INTEGER NOT NULL,
  layout_id INTEGER NOT NULL REFERENCES layouts,
  trigger TEXT NOT NULL,
  vals TEXT NOT NULL,
  PRIMARY KEY (meter_id, file_id, time, seq)) WITHOUT ROWID;
CREATE TABLE event_rows (
  meter_id INTEGER NOT NULL REFERENCES meters,
  file_id INTEGER NOT NULL,
  time TEXT NOT NULL,
  seq INTEGER NOT NULL,
  event_no INTEGER NOT NULL,
  cause TEXT NOT NULL,
  point TEXT NOT NULL,
  state TEXT NOT NULL,
  effect TEXT NOT NULL,
  target TEXT NOT NULL,
  source_id INTEGER,
  effect_id INTEGER,
  value_triggered INTEGER,
  PRIMARY KEY (meter_id, file_id, time, seq)) WITHOUT ROWID;
)";

// Version 2 added what each run read of each log; version 1 stores lack it.
const char* const CREATE_RUN_LOGS = R"(
CREATE TABLE run_logs (
  run_id INTEGER NOT NULL REFERENCES runs,
  file_id INTEGER NOT NULL,
  kind TEXT NOT NULL,
  records INTEGER NOT NULL,
  layout_id INTEGER REFERENCES layouts,
  new_records INTEGER NOT NULL DEFAULT 0,
  PRIMARY KEY (run_id, file_id)) WITHOUT ROWID;
)";

// The stable names to query, made again by every migration.
const char* const CREATE_VIEWS = R"(
DROP VIEW IF EXISTS datalog_values;
DROP VIEW IF EXISTS event_records;
CREATE VIEW datalog_values AS
SELECT m.serial, m.model, r.file_id, r.time, r.seq,
       c.name AS column_name, c.unit, v.value
  FROM datalog_rows r
  JOIN meters m ON m.meter_id = r.meter_id
  JOIN json_each(r.vals) v
  JOIN layout_columns c ON c.layout_id = r.layout_id AND c.position = v.key + 1;
CREATE VIEW event_records AS
SELECT m.serial, m.model, e.file_id, e.time, e.seq, e.event_no,
       e.cause, e.point, e.state, e.effect, e.target
  FROM event_rows e
  JOIN meters m ON m.meter_id = e.meter_id;
)";

const char* const ADD_EVENT_NUMBERS = R"(
ALTER TABLE event_rows ADD COLUMN source_id INTEGER;
ALTER TABLE event_rows ADD COLUMN effect_id INTEGER;
ALTER TABLE event_rows ADD COLUMN value_triggered INTEGER;
)";

const std::vector<Migration>& migrations() {
    // Version 1 kept neither the events' raw numbers nor what each run read.
    static const std::vector<Migration> MIGRATIONS = {
        {1, {ADD_EVENT_NUMBERS, CREATE_RUN_LOGS}},
    };
    return MIGRATIONS;
}

void set_version(SqliteDb& db, int version) {
    std::string sql = "PRAGMA application_id = " + std::to_string(SQLITE_APPLICATION_ID) +
                      "; PRAGMA user_version = " + std::to_string(version) +
                      "; INSERT OR REPLACE INTO tandrel_meta VALUES ('application', 'tandrel')"
                      ", ('schema_version', '" +
                      std::to_string(version) + "');";
    db.exec(sql.c_str());
}

void create_schema(SqliteDb& db) {
    db.exec(CREATE_TABLES);
    db.exec(CREATE_RUN_LOGS);
    db.exec(CREATE_VIEWS);
    set_version(db, SCHEMA_VERSION);
}

void migrate(SqliteDb& db, int version) {
    migrate_schema(migrations(), version, db.path(), [&](const char* sql) { db.exec(sql); });
    db.exec(CREATE_VIEWS);
    set_version(db, SCHEMA_VERSION);
}

bool is_empty_file(SqliteDb& db) {
    return db.single_integer("PRAGMA application_id") == 0 &&
           db.single_integer("SELECT count(*) FROM sqlite_schema") == 0;
}

// The header's application id and version, read before anything is written:
// a file of another application is never touched.
int checked_version(SqliteDb& db) {
    int64_t application = 0;
    try {
        application = db.single_integer("PRAGMA application_id");
    } catch (const std::runtime_error&) {
        if (db.error_code() != SQLITE_NOTADB) throw;
        throw std::runtime_error(db.path() + " is not a tandrel store: not a SQLite database");
    }
    if (application != SQLITE_APPLICATION_ID)
        throw std::runtime_error(db.path() + " is not a tandrel store: a SQLite database of " +
                                 "another application");
    int version = static_cast<int>(db.single_integer("PRAGMA user_version"));
    return checked_schema_version(version, db.path());
}

// Writers wait for each other this long instead of failing at once.
constexpr std::chrono::milliseconds BUSY_WAIT{60000};

// Switching a file to WAL needs it to itself, and SQLite answers "database is
// locked" at once, without calling its busy handler, while another writer
// opens the same new file: the switch is tried again within the same wait.
void use_wal(SqliteDb& db) {
    const auto give_up = std::chrono::steady_clock::now() + BUSY_WAIT;
    for (;;) {
        try {
            db.exec("PRAGMA journal_mode = WAL");
            return;
        } catch (const std::runtime_error&) {
            if ((db.error_code() & 0xff) != SQLITE_BUSY || std::chrono::steady_clock::now() > give_up)
                throw;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

void prepare_for_writing(SqliteDb& db) {
    if (sqlite3_db_readonly(db.handle(), "main") == 1)
        throw std::runtime_error(db.path() + " is read-only: cannot store into it");
    bool fresh = false;
    try {
        fresh = is_empty_file(db);
    } catch (const std::runtime_error&) {
        checked_version(db);  // says why the file cannot be read
        throw;
    }
    if (!fresh) checked_version(db);
    use_wal(db);
    db.exec("BEGIN IMMEDIATE");
    try {
        // Another process may have made or migrated the store since the look above.
        if (is_empty_file(db))
            create_schema(db);
        else if (int version = checked_version(db); version < SCHEMA_VERSION)
            migrate(db, version);
        db.exec("COMMIT");
    } catch (...) {
        sqlite3_exec(db.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

}  // namespace

void prepare_sqlite_schema(SqliteDb& db, OpenMode mode) {
    // Writers wait for each other instead of failing at once: a collector and
    // a history query, or two collectors, may use one file at the same time.
    sqlite3_busy_timeout(db.handle(), static_cast<int>(BUSY_WAIT.count()));
    if (mode == OpenMode::Write) {
        prepare_for_writing(db);
        // In WAL mode NORMAL loses no committed transaction when the process
        // dies; only a power cut can take the last ones, and never corrupts.
        db.exec("PRAGMA synchronous = NORMAL");
        return;
    }
    int version = checked_version(db);
    require_current_schema(version, db.path());
}

}  // namespace tandrel_site
