// What every store must do, run against a real SQLite file and a real
// PostgreSQL server: each record once, whatever the meter's log did between
// two runs (grew, rolled over past seq 65535, was cleared, changed columns).
#include <gtest/gtest.h>

#include "store_fixture.h"

namespace tandrel_site::testing {
namespace {

class StoreTest : public ::testing::TestWithParam<Backend> {
protected:
    FreshTarget fresh{GetParam()};
    std::unique_ptr<Store> store = open_store(fresh.target());

    LogRef datalog(uint32_t serial, int columns = 3, int file_id = 1) {
        MeterRun run = store->begin_meter_run(sighting(serial));
        return store->begin_log(run, datalog_entry(file_id, volt_columns(columns)));
    }

    // (time, seq) of data log 1 of every meter, in time order.
    Rows keys() { return rows(*store, "SELECT time, seq FROM datalog_rows ORDER BY time, seq"); }
};

TEST_P(StoreTest, SecondRunOfAnUnchangedLogStoresNothing) {
    EXPECT_EQ(store->write(datalog(1), datalog_batch(0, 100, 1, 3)), 100u);
    EXPECT_EQ(store->write(datalog(1), datalog_batch(0, 100, 1, 3)), 0u);
    EXPECT_EQ(count(*store, "datalog_rows"), 100);
    EXPECT_EQ(count(*store, "datalog_values"), 300);
    EXPECT_EQ(rows(*store, "SELECT new_records FROM run_logs ORDER BY run_id"),
              (Rows{{"100"}, {"0"}}));
}

TEST_P(StoreTest, LogThatGrewByKStoresK) {
    EXPECT_EQ(store->write(datalog(1), datalog_batch(0, 50, 1, 3)), 50u);
    // The meter's log now holds 57 records: the 50 and 7 more.
    EXPECT_EQ(store->write(datalog(1), datalog_batch(0, 57, 1, 3)), 7u);
    EXPECT_EQ(count(*store, "datalog_rows"), 57);
}

TEST_P(StoreTest, RollOverPastSeq65535LosesAndDoublesNothing) {
    // First run: seq 65530..65535, 0..3. Then the oldest four rolled out of the
    // meter and six came in: seq 65534..65535, 0..9.
    EXPECT_EQ(store->write(datalog(1), datalog_batch(0, 10, 65530, 3)), 10u);
    EXPECT_EQ(store->write(datalog(1), datalog_batch(4, 12, 65534, 3)), 6u);
    Rows stored = keys();
    ASSERT_EQ(stored.size(), 16u);
    EXPECT_EQ(stored.front(), (std::vector<std::string>{"2026-12-05T00:00:00.000Z", "65530"}));
    EXPECT_EQ(stored[6], (std::vector<std::string>{"2026-12-05T00:00:06.000Z", "0"}));
    EXPECT_EQ(stored.back(), (std::vector<std::string>{"2026-12-05T00:00:15.000Z", "9"}));
}

TEST_P(StoreTest, ClearedLogThatStartsAgainKeepsBoth) {
    EXPECT_EQ(store->write(datalog(1), datalog_batch(0, 20, 1, 3)), 20u);
    // Cleared and restarted at seq 1 an hour later: the same seqs, new times.
    EXPECT_EQ(store->write(datalog(1), datalog_batch(3600, 5, 1, 3)), 5u);
    EXPECT_EQ(store->write(datalog(1), datalog_batch(3600, 8, 1, 3)), 3u);
    EXPECT_EQ(count(*store, "datalog_rows WHERE seq = 1"), 2);
    EXPECT_EQ(count(*store, "datalog_rows"), 28);
}

TEST_P(StoreTest, ChangedColumnsKeepBothLayoutsAndEachRecordItsOwn) {
    EXPECT_EQ(store->write(datalog(1, 2), datalog_batch(0, 3, 1, 2)), 3u);
    // Reconfigured to three columns without a clear: the old records read
    // again under the new layout stay as first stored.
    LogRef changed = datalog(1, 3);
    EXPECT_EQ(store->write(changed, datalog_batch(0, 5, 1, 3)), 2u);
    EXPECT_EQ(count(*store, "layouts"), 2);
    EXPECT_EQ(rows(*store,
                   "SELECT time, column_name, value FROM datalog_values "
                   "WHERE seq IN (3, 4) ORDER BY time, column_name"),
              (Rows{{"2026-12-05T00:00:02.000Z", "V1", "2.5"},
                    {"2026-12-05T00:00:02.000Z", "V2", "3.5"},
                    {"2026-12-05T00:00:03.000Z", "V1", "3.5"},
                    {"2026-12-05T00:00:03.000Z", "V2", "4.5"},
                    {"2026-12-05T00:00:03.000Z", "V3", "5.5"}}));
}

TEST_P(StoreTest, MeterIsItsModelAndSerialNotItsAddress) {
    MeterRun first = store->begin_meter_run(sighting(1, "192.0.2.10:502"));
    MeterRun moved = store->begin_meter_run(sighting(1, "192.0.2.99:502"));
    MeterRun replaced = store->begin_meter_run(sighting(2, "192.0.2.10:502"));
    MeterRun other_model = store->begin_meter_run(sighting(1, "192.0.2.10:502", "EM133"));
    EXPECT_EQ(first.meter_id, moved.meter_id);
    EXPECT_NE(first.meter_id, replaced.meter_id);
    EXPECT_NE(first.meter_id, other_model.meter_id);
    EXPECT_EQ(rows(*store,
                   "SELECT m.serial, m.model, r.address FROM runs r JOIN meters m "
                   "ON m.meter_id = r.meter_id ORDER BY r.run_id"),
              (Rows{{"1", "EM235", "192.0.2.10:502"},
                    {"1", "EM235", "192.0.2.99:502"},
                    {"2", "EM235", "192.0.2.10:502"},
                    {"1", "EM133", "192.0.2.10:502"}}));
}

TEST_P(StoreTest, ValuesKeepTheMetersDigits) {
    DatalogBatch batch;
    batch.add("2026-12-05T00:00:00.000Z", 1, "SP1", "[230.50,-0.001,4294967.295]");
    store->write(datalog(1), batch);
    Rows values = rows(*store, "SELECT value FROM datalog_values ORDER BY column_name");
    ASSERT_EQ(values.size(), 3u);
    // SQLite hands a REAL back in its shortest form; PostgreSQL's numeric keeps the scale.
    const bool exact = GetParam() == Backend::PostgreSQL;
    EXPECT_EQ(values[0][0], exact ? "230.50" : "230.5");
    EXPECT_EQ(values[1][0], "-0.001");
    EXPECT_EQ(values[2][0], "4294967.295");
    Rows stored = rows(*store, "SELECT vals, trigger FROM datalog_rows");
    EXPECT_EQ(stored[0][0], exact ? "{230.50,-0.001,4294967.295}" : "[230.50,-0.001,4294967.295]");
    EXPECT_EQ(stored[0][1], "SP1");
}

TEST_P(StoreTest, ShortRecordsAreKeptAndLongOnesRefused) {
    LogRef log = datalog(1, 3);
    EXPECT_EQ(store->write(log, datalog_batch(0, 2, 1, 2)), 2u);
    DatalogBatch too_long = datalog_batch(2, 3, 3, 3);
    too_long.add("2026-12-05T01:00:00.000Z", 9, "SP", "[1,2,3,4]");
    EXPECT_THROW(store->write(log, too_long), std::runtime_error);
    EXPECT_EQ(count(*store, "datalog_rows"), 2);
    EXPECT_EQ(count(*store, "datalog_values"), 4);
}

TEST_P(StoreTest, EventsOnceWithTheirTextsAsTheyWere) {
    MeterRun run = store->begin_meter_run(sighting(1));
    LogRef events = store->begin_log(run, eventlog_entry());
    EventBatch batch;
    batch.add({"2026-12-05T00:00:00.000Z", 65535, 3, "Set\tpoint \\1", "V1\nmax", "ON", "Relay",
               "K1", 4352, 513, -65535});
    batch.add({"2026-12-05T00:00:01.000Z", 0, 4, "", "", "", "", "", 0, 0, 0});
    EXPECT_EQ(store->write(events, batch), 2u);
    EXPECT_EQ(store->write(events, batch), 0u);
    EXPECT_EQ(rows(*store,
                   "SELECT serial, file_id, seq, event_no, cause, point, state, effect, "
                   "target FROM event_records ORDER BY time"),
              (Rows{{"1", "0", "65535", "3", "Set\tpoint \\1", "V1\nmax", "ON", "Relay", "K1"},
                    {"1", "0", "0", "4", "", "", "", "", ""}}));
    EXPECT_EQ(rows(*store,
                   "SELECT source_id, effect_id, value_triggered FROM event_rows "
                   "ORDER BY time"),
              (Rows{{"4352", "513", "-65535"}, {"0", "0", "0"}}));
    EXPECT_THROW(store->write(events, datalog_batch(0, 1, 1, 0)), std::runtime_error);
}

TEST_P(StoreTest, LogsOfTwoMetersAndTwoFilesStayApart) {
    EXPECT_EQ(store->write(datalog(1, 3, 1), datalog_batch(0, 10, 1, 3)), 10u);
    EXPECT_EQ(store->write(datalog(1, 3, 2), datalog_batch(0, 10, 1, 3)), 10u);
    EXPECT_EQ(store->write(datalog(2, 3, 1), datalog_batch(0, 10, 1, 3)), 10u);
    EXPECT_EQ(rows(*store,
                   "SELECT serial, file_id, count(*) FROM datalog_values "
                   "WHERE column_name = 'V1' GROUP BY serial, file_id ORDER BY serial, file_id"),
              (Rows{{"1", "1", "10"}, {"1", "2", "10"}, {"2", "1", "10"}}));
}

INSTANTIATE_TEST_SUITE_P(Store, StoreTest, ::testing::Values(Backend::SQLite, Backend::PostgreSQL),
                         [](const auto& param_info) { return backend_name(param_info.param); });

}  // namespace
}  // namespace tandrel_site::testing
