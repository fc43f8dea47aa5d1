// A store of schema version 1 (a fixture written by hand, tests/data/site)
// is brought to version 2 in one transaction: what it held stays, and what
// version 2 adds works on it.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include "store_fixture.h"

namespace tandrel_site::testing {
namespace {

std::string fixture(Backend backend) {
    return tandrel::testing::file_bytes(std::string(TANDREL_TEST_DATA_DIR) + "/site/store_v1." +
                                        (backend == Backend::SQLite ? "sqlite" : "postgres") +
                                        ".sql");
}

std::string database_of(const std::string& target) {
    std::string name = target.substr(target.find("dbname=") + 7);
    return name.substr(0, name.find(' '));
}

// Runs SQL as the database's own client would: sqlite3 or psql.
void run_sql(Backend backend, const std::string& target, const std::string& sql) {
    if (backend == Backend::PostgreSQL) {
        postgres_server().psql(database_of(target), sql);
        return;
    }
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(target.c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK)
        << sqlite3_errmsg(db);
    sqlite3_close(db);
}

class MigrationTest : public ::testing::TestWithParam<Backend> {
protected:
    FreshTarget fresh{GetParam()};
    void SetUp() override { run_sql(GetParam(), fresh.target(), fixture(GetParam())); }
};

TEST_P(MigrationTest, Version1BecomesVersion2WithItsRecords) {
    EXPECT_EQ(open_failure(fresh.target(), OpenMode::Read),
              fresh.target() +
                  " is a tandrel store of schema version 1: store into it once to update it");
    std::unique_ptr<Store> store = open_store(fresh.target());
    EXPECT_EQ(rows(*store, "SELECT value FROM tandrel_meta WHERE key = 'schema_version'"),
              (Rows{{"2"}}));
    EXPECT_EQ(rows(*store,
                   "SELECT time, column_name, value FROM datalog_values WHERE seq = 2 "
                   "ORDER BY column_name"),
              (Rows{{"2026-12-05T00:00:01.000Z", "V1", "1.5"},
                    {"2026-12-05T00:00:01.000Z", "V2", "2.5"},
                    {"2026-12-05T00:00:01.000Z", "V3", "3.5"}}));
    EXPECT_EQ(rows(*store, "SELECT cause, source_id FROM event_rows"),
              (Rows{{"Power up", "NULL"}}));

    // The meter, its layout and its records are the ones version 1 knew.
    MeterRun run = store->begin_meter_run(sighting(1));
    EXPECT_EQ(run.meter_id, 1);
    LogRef log = store->begin_log(run, datalog_entry(1, volt_columns(3)));
    EXPECT_EQ(log.layout_id, 1);
    EXPECT_EQ(store->write(log, datalog_batch(0, 3, 1, 3)), 1u);
    LogRef events = store->begin_log(run, eventlog_entry());
    EventBatch batch;
    batch.add({"2026-12-05T00:00:00.000Z", 10, 6, "Reset", "", "", "", "", 7, 8, 9});
    EXPECT_EQ(store->write(events, batch), 1u);
    EXPECT_EQ(rows(*store, "SELECT seq, source_id FROM event_rows ORDER BY seq"),
              (Rows{{"9", "NULL"}, {"10", "7"}}));
    EXPECT_EQ(rows(*store, "SELECT file_id, new_records FROM run_logs ORDER BY file_id"),
              (Rows{{"0", "1"}, {"1", "1"}}));
}

TEST_P(MigrationTest, FailedMigrationLeavesVersion1AsItWas) {
    // A table in the way of version 2's: the migration fails part way.
    run_sql(GetParam(), fresh.target(), "CREATE TABLE run_logs (x integer)");
    EXPECT_NE(open_failure(fresh.target()).find("run_logs"), std::string::npos);
    EXPECT_NE(open_failure(fresh.target(), OpenMode::Read).find("schema version 1:"),
              std::string::npos);
    run_sql(GetParam(), fresh.target(), "DROP TABLE run_logs");
    std::unique_ptr<Store> store = open_store(fresh.target());
    EXPECT_EQ(count(*store, "datalog_values"), 6);
    EXPECT_EQ(rows(*store, "SELECT value FROM tandrel_meta WHERE key = 'schema_version'"),
              (Rows{{"2"}}));
}

INSTANTIATE_TEST_SUITE_P(Store, MigrationTest,
                         ::testing::Values(Backend::SQLite, Backend::PostgreSQL),
                         [](const auto& param_info) { return backend_name(param_info.param); });

}  // namespace
}  // namespace tandrel_site::testing
