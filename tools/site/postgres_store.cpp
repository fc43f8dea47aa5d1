// The PostgreSQL store. A batch travels by COPY into a temporary table and
// moves into the records with one INSERT ... SELECT ... ON CONFLICT DO
// NOTHING, all in one transaction: one round trip for the rows, and the key
// decides what is new. Collectors on several hosts may write the same meters
// at once: the rows go in key order, so that two transactions meeting on the
// same records wait for each other rather than deadlock, and a transaction
// that PostgreSQL still ends as a deadlock or a serialisation failure is
// run again from its batch, which is still in memory.
#include <functional>
#include <stdexcept>

#include "postgres_conn.h"
#include "postgres_schema.h"
#include "store_common.h"
#include "store_kinds.h"

namespace tandrel_site {
namespace {

constexpr int TRIES = 5;

const char* const CREATE_STAGES = R"(
CREATE TEMP TABLE stage_datalog (time timestamptz, seq integer, trigger text, vals numeric[])
  ON COMMIT DELETE ROWS;
CREATE TEMP TABLE stage_events (time timestamptz, seq integer, event_no integer, cause text,
  point text, state text, effect text, target text, source_id integer, effect_id integer,
  value_triggered bigint) ON COMMIT DELETE ROWS;
)";

const char* const MOVE_DATALOG = R"(
INSERT INTO datalog_rows (meter_id, file_id, time, seq, layout_id, trigger, vals)
SELECT $1, $2, time, seq, $3, trigger, vals FROM stage_datalog ORDER BY time, seq
ON CONFLICT DO NOTHING)";

const char* const MOVE_EVENTS = R"(
INSERT INTO event_rows (meter_id, file_id, time, seq, event_no, cause, point, state, effect,
  target, source_id, effect_id, value_triggered)
SELECT $1, $2, time, seq, event_no, cause, point, state, effect, target, source_id, effect_id,
  value_triggered FROM stage_events ORDER BY time, seq
ON CONFLICT DO NOTHING)";

const char* const COUNT_NEW =
    "UPDATE run_logs SET new_records = new_records + $3 WHERE run_id = $1 AND file_id = $2";

void append_datalog_row(std::string& out, const DatalogRow& row) {
    out.append(row.time);
    out += '\t';
    out += std::to_string(row.seq);
    out += '\t';
    append_copy_text(out, row.trigger);
    out += "\t{";
    out.append(row.values.substr(1, row.values.size() - 2));  // "[1,2]" as the array "{1,2}"
    out += "}\n";
}

void append_event_row(std::string& out, const EventRow& row) {
    out.append(row.time);
    for (const std::string& number : {std::to_string(row.seq), std::to_string(row.event_no)})
        out += '\t' + number;
    for (std::string_view text : {row.cause, row.point, row.state, row.effect, row.target}) {
        out += '\t';
        append_copy_text(out, text);
    }
    out += '\t' + std::to_string(row.source_id) + '\t' + std::to_string(row.effect_id) + '\t' +
           std::to_string(row.value_triggered) + '\n';
}

class PostgresStore final : public Store {
public:
    PostgresStore(const std::string& target, OpenMode mode) : db_(target) {
        prepare_postgres_schema(db_, mode);
    }

    MeterRun begin_meter_run(const MeterSighting& sighting) override {
        MeterRun run;
        in_transaction([&] {
            std::vector<std::string> meter = {sighting.model, std::to_string(sighting.serial)};
            run.meter_id = upsert_id(
                "INSERT INTO meters (model, serial) VALUES ($1, $2) ON CONFLICT DO NOTHING "
                "RETURNING meter_id",
                "SELECT meter_id FROM meters WHERE model = $1 AND serial = $2", meter);
            run.run_id =
                std::stoll(db_.exec("INSERT INTO runs (meter_id, time, address, unit, device_info) "
                                    "VALUES ($1, $2, $3, $4, $5) RETURNING run_id",
                                    {std::to_string(run.meter_id), sighting.time, sighting.address,
                                     std::to_string(sighting.unit), sighting.device_info})
                               .text(0, 0));
        });
        return run;
    }

    LogRef begin_log(const MeterRun& run, const LogEntry& entry) override {
        LogRef log{run, entry.file_id, entry.kind, 0, static_cast<int>(entry.columns.size())};
        in_transaction([&] {
            if (entry.kind == LogKind::Datalog) log.layout_id = layout_id(run.meter_id, entry);
            db_.exec(
                "INSERT INTO run_logs (run_id, file_id, kind, records, layout_id) "
                "VALUES ($1, $2, $3, $4, NULLIF($5, '0')::bigint) ON CONFLICT DO NOTHING",
                {std::to_string(run.run_id), std::to_string(entry.file_id), kind_name(entry.kind),
                 std::to_string(entry.records), std::to_string(log.layout_id)});
        });
        return log;
    }

    size_t write(const LogRef& log, const DatalogBatch& batch) override {
        check_batch_fits(log, batch);
        copy_buffer_.clear();
        for (size_t i = 0; i < batch.size(); ++i) append_datalog_row(copy_buffer_, batch[i]);
        return move_batch("COPY stage_datalog FROM STDIN", MOVE_DATALOG, log,
                          {std::to_string(log.run.meter_id), std::to_string(log.file_id),
                           std::to_string(log.layout_id)});
    }

    size_t write(const LogRef& log, const EventBatch& batch) override {
        check_log_kind(log, LogKind::Eventlog);
        copy_buffer_.clear();
        for (size_t i = 0; i < batch.size(); ++i) append_event_row(copy_buffer_, batch[i]);
        return move_batch("COPY stage_events FROM STDIN", MOVE_EVENTS, log,
                          {std::to_string(log.run.meter_id), std::to_string(log.file_id)});
    }

    void query(const std::string& sql, const std::vector<QueryParam>& params,
               const RowFunction& row) override {
        db_.each_row(sql, params, row);
    }

    void close() override { db_.close(); }

    const char* dialect() const override { return "PostgreSQL"; }

private:
    PgConnection db_;
    std::string copy_buffer_;
    bool stages_made_ = false;

    // Runs `work` in a transaction, again when another session made it fail
    // by a deadlock or a serialisation conflict.
    void in_transaction(const std::function<void()>& work) {
        for (int attempt = 1;; ++attempt) {
            try {
                db_.exec("BEGIN");
                work();
                db_.exec("COMMIT");
                return;
            } catch (const std::runtime_error&) {
                std::string state = db_.last_sqlstate();
                rollback_quietly();
                if ((state != "40P01" && state != "40001") || attempt == TRIES) throw;
            }
        }
    }

    // After a failure the first message says why; a failed ROLLBACK (the
    // connection is gone) would only hide it.
    void rollback_quietly() {
        try {
            db_.exec("ROLLBACK");
        } catch (const std::runtime_error&) {
        }
    }

    int64_t upsert_id(const char* insert_sql, const char* select_sql,
                      const std::vector<std::string>& params) {
        PgResult inserted = db_.exec(insert_sql, params);
        if (inserted.rows() == 1) return std::stoll(inserted.text(0, 0));
        // Another session added it since this transaction began: under READ
        // COMMITTED the next statement sees its row.
        return std::stoll(db_.exec(select_sql, params).text(0, 0));
    }

    int64_t layout_id(int64_t meter_id, const LogEntry& entry) {
        std::vector<std::string> key = {std::to_string(meter_id), std::to_string(entry.file_id),
                                        columns_json(entry.columns)};
        PgResult inserted = db_.exec(
            "INSERT INTO layouts (meter_id, file_id, columns) VALUES ($1, $2, $3) "
            "ON CONFLICT DO NOTHING RETURNING layout_id",
            key);
        if (inserted.rows() == 0)
            return std::stoll(db_.exec("SELECT layout_id FROM layouts WHERE meter_id = $1 AND "
                                       "file_id = $2 AND columns = $3",
                                       key)
                                  .text(0, 0));
        std::string id = inserted.text(0, 0);
        for (size_t i = 0; i < entry.columns.size(); ++i)
            db_.exec(
                "INSERT INTO layout_columns (layout_id, position, name, unit, decimals) "
                "VALUES ($1, $2, $3, $4, $5)",
                {id, std::to_string(i + 1), entry.columns[i].name, entry.columns[i].unit,
                 std::to_string(entry.columns[i].decimals)});
        return std::stoll(id);
    }

    size_t move_batch(const char* copy_sql, const char* move_sql, const LogRef& log,
                      const std::vector<std::string>& params) {
        if (!stages_made_) {
            db_.exec(CREATE_STAGES);
            stages_made_ = true;
        }
        size_t added = 0;
        in_transaction([&] {
            db_.copy_in(copy_sql, copy_buffer_);
            added = db_.exec(move_sql, params).affected();
            db_.exec(COUNT_NEW, {std::to_string(log.run.run_id), std::to_string(log.file_id),
                                 std::to_string(added)});
        });
        return added;
    }
};

}  // namespace

std::unique_ptr<Store> open_postgres_store(const std::string& target, OpenMode mode) {
    return std::make_unique<PostgresStore>(target, mode);
}

}  // namespace tandrel_site
