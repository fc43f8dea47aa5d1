// The SQLite store: one file, WAL mode, one transaction per batch through
// statements prepared once. A record already stored is passed over by its key
// (ON CONFLICT DO NOTHING) and counted as not new.
#include <sqlite3.h>

#include <filesystem>
#include <optional>
#include <stdexcept>

#include "sqlite_db.h"
#include "sqlite_schema.h"
#include "store_common.h"
#include "store_kinds.h"

namespace tandrel_site {
namespace {

const char* const INSERT_DATALOG =
    "INSERT INTO datalog_rows (meter_id, file_id, time, seq, layout_id, trigger, vals) "
    "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7) ON CONFLICT DO NOTHING";
const char* const INSERT_EVENT =
    "INSERT INTO event_rows (meter_id, file_id, time, seq, event_no, cause, point, state, "
    "effect, target, source_id, effect_id, value_triggered) "
    "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13) ON CONFLICT DO NOTHING";
const char* const COUNT_NEW =
    "UPDATE run_logs SET new_records = new_records + ?3 WHERE run_id = ?1 AND file_id = ?2";

// BEGIN IMMEDIATE takes the write lock at once, so that two writers queue at
// the start instead of one failing when it first writes.
class Transaction {
public:
    explicit Transaction(SqliteDb& db) : db_(db) { db_.exec("BEGIN IMMEDIATE"); }
    ~Transaction() {
        if (open_) sqlite3_exec(db_.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
    }
    void commit() {
        db_.exec("COMMIT");
        open_ = false;
    }

private:
    SqliteDb& db_;
    bool open_ = true;
};

// A store that is only read must be there: SQLite's own "unable to open
// database file" would not say that nothing is.
const std::string& existing(const std::string& path, OpenMode mode) {
    std::error_code ec;
    if (mode == OpenMode::Read && !std::filesystem::exists(path, ec))
        throw std::runtime_error(path + ": no such file");
    return path;
}

class SqliteStore final : public Store {
public:
    SqliteStore(const std::string& path, OpenMode mode)
        : db_(existing(path, mode), mode == OpenMode::Write
                                        ? SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE
                                        : SQLITE_OPEN_READONLY) {
        prepare_sqlite_schema(db_, mode);
    }

    MeterRun begin_meter_run(const MeterSighting& sighting) override {
        Transaction transaction(db_);
        MeterRun run;
        run.meter_id = upsert_id(
            "INSERT INTO meters (model, serial) VALUES (?1, ?2) "
            "ON CONFLICT DO NOTHING",
            "SELECT meter_id FROM meters WHERE model = ?1 AND serial = ?2",
            [&](SqliteStatement& s) {
                s.bind(1, sighting.model);
                s.bind(2, static_cast<int64_t>(sighting.serial));
            });
        SqliteStatement insert = db_.prepare(
            "INSERT INTO runs (meter_id, time, address, unit, device_info) "
            "VALUES (?1, ?2, ?3, ?4, ?5)");
        insert.bind(1, run.meter_id);
        insert.bind(2, sighting.time);
        insert.bind(3, sighting.address);
        insert.bind(4, static_cast<int64_t>(sighting.unit));
        insert.bind(5, sighting.device_info);
        insert.step();
        run.run_id = sqlite3_last_insert_rowid(db_.handle());
        transaction.commit();
        return run;
    }

    LogRef begin_log(const MeterRun& run, const LogEntry& entry) override {
        Transaction transaction(db_);
        LogRef log{run, entry.file_id, entry.kind, 0, static_cast<int>(entry.columns.size())};
        if (entry.kind == LogKind::Datalog) log.layout_id = layout_id(run.meter_id, entry);
        SqliteStatement insert = db_.prepare(
            "INSERT INTO run_logs (run_id, file_id, kind, records, layout_id) "
            "VALUES (?1, ?2, ?3, ?4, ?5) ON CONFLICT DO NOTHING");
        insert.bind(1, run.run_id);
        insert.bind(2, static_cast<int64_t>(entry.file_id));
        insert.bind(3, kind_name(entry.kind));
        insert.bind(4, static_cast<int64_t>(entry.records));
        if (log.layout_id) insert.bind(5, log.layout_id);
        insert.step();
        transaction.commit();
        return log;
    }

    size_t write(const LogRef& log, const DatalogBatch& batch) override {
        check_batch_fits(log, batch);
        if (!insert_datalog_) insert_datalog_.emplace(db_.prepare(INSERT_DATALOG));
        SqliteStatement& insert = *insert_datalog_;
        Transaction transaction(db_);
        size_t added = 0;
        for (size_t i = 0; i < batch.size(); ++i) {
            DatalogRow row = batch[i];
            insert.bind(1, log.run.meter_id);
            insert.bind(2, static_cast<int64_t>(log.file_id));
            insert.bind(3, row.time);
            insert.bind(4, static_cast<int64_t>(row.seq));
            insert.bind(5, log.layout_id);
            insert.bind(6, row.trigger);
            insert.bind(7, row.values);
            added += step_once(insert);
        }
        count_new(log, added);
        transaction.commit();
        return added;
    }

    size_t write(const LogRef& log, const EventBatch& batch) override {
        check_log_kind(log, LogKind::Eventlog);
        if (!insert_event_) insert_event_.emplace(db_.prepare(INSERT_EVENT));
        SqliteStatement& insert = *insert_event_;
        Transaction transaction(db_);
        size_t added = 0;
        for (size_t i = 0; i < batch.size(); ++i) {
            EventRow row = batch[i];
            insert.bind(1, log.run.meter_id);
            insert.bind(2, static_cast<int64_t>(log.file_id));
            insert.bind(3, row.time);
            insert.bind(4, static_cast<int64_t>(row.seq));
            insert.bind(5, static_cast<int64_t>(row.event_no));
            insert.bind(6, row.cause);
            insert.bind(7, row.point);
            insert.bind(8, row.state);
            insert.bind(9, row.effect);
            insert.bind(10, row.target);
            insert.bind(11, static_cast<int64_t>(row.source_id));
            insert.bind(12, static_cast<int64_t>(row.effect_id));
            insert.bind(13, row.value_triggered);
            added += step_once(insert);
        }
        count_new(log, added);
        transaction.commit();
        return added;
    }

    void query(const std::string& sql, const std::vector<QueryParam>& params,
               const RowFunction& row) override {
        SqliteStatement statement = db_.prepare(sql);
        for (size_t i = 0; i < params.size(); ++i) {
            std::string name = "$" + std::to_string(i + 1);
            int index = statement.parameter_index(name.c_str());
            if (index == 0) continue;
            if (const auto* number = std::get_if<int64_t>(&params[i]))
                statement.bind(index, *number);
            else
                statement.bind(index, std::get<std::string>(params[i]));
        }
        std::vector<Cell> cells(static_cast<size_t>(statement.columns()));
        while (statement.step()) {
            for (size_t i = 0; i < cells.size(); ++i) {
                int column = static_cast<int>(i);
                cells[i] = {statement.text(column), statement.is_null(column)};
            }
            row(cells);
        }
    }

    void close() override {
        insert_datalog_.reset();
        insert_event_.reset();
        db_.close();
    }

    const char* dialect() const override { return "SQLite"; }

private:
    SqliteDb db_;
    std::optional<SqliteStatement> insert_datalog_;
    std::optional<SqliteStatement> insert_event_;

    // 1 when the statement changed a row (a new record), 0 when the key was there.
    size_t step_once(SqliteStatement& statement) {
        statement.step();
        statement.reset();
        return static_cast<size_t>(sqlite3_changes(db_.handle()));
    }

    template <typename Bind>
    int64_t upsert_id(const char* insert_sql, const char* select_sql, const Bind& bind) {
        SqliteStatement insert = db_.prepare(insert_sql);
        bind(insert);
        insert.step();
        if (sqlite3_changes(db_.handle()) == 1) return sqlite3_last_insert_rowid(db_.handle());
        SqliteStatement select = db_.prepare(select_sql);
        bind(select);
        select.step();
        return select.integer(0);
    }

    int64_t layout_id(int64_t meter_id, const LogEntry& entry) {
        std::string columns = columns_json(entry.columns);
        auto bind = [&](SqliteStatement& s) {
            s.bind(1, meter_id);
            s.bind(2, static_cast<int64_t>(entry.file_id));
            s.bind(3, columns);
        };
        int64_t id = upsert_id(
            "INSERT INTO layouts (meter_id, file_id, columns) "
            "VALUES (?1, ?2, ?3) ON CONFLICT DO NOTHING",
            "SELECT layout_id FROM layouts "
            "WHERE meter_id = ?1 AND file_id = ?2 AND columns = ?3",
            bind);
        SqliteStatement insert = db_.prepare(
            "INSERT INTO layout_columns (layout_id, position, name, unit, decimals) "
            "VALUES (?1, ?2, ?3, ?4, ?5) ON CONFLICT DO NOTHING");
        for (size_t i = 0; i < entry.columns.size(); ++i) {
            insert.bind(1, id);
            insert.bind(2, static_cast<int64_t>(i + 1));
            insert.bind(3, entry.columns[i].name);
            insert.bind(4, entry.columns[i].unit);
            insert.bind(5, static_cast<int64_t>(entry.columns[i].decimals));
            step_once(insert);
        }
        return id;
    }

    void count_new(const LogRef& log, size_t added) {
        SqliteStatement update = db_.prepare(COUNT_NEW);
        update.bind(1, log.run.run_id);
        update.bind(2, static_cast<int64_t>(log.file_id));
        update.bind(3, static_cast<int64_t>(added));
        update.step();
    }
};

}  // namespace

std::unique_ptr<Store> open_sqlite_store(const std::string& path, OpenMode mode) {
    return std::make_unique<SqliteStore>(path, mode);
}

}  // namespace tandrel_site
