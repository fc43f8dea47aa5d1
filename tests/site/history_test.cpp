// The history statements on both databases: spans of the meters and logs
// stored, one log over a range in time order with each record's own layout.
#include <gtest/gtest.h>

#include "history.h"
#include "store_fixture.h"

namespace tandrel_site::testing {
namespace {

class HistoryTest : public ::testing::TestWithParam<Backend> {
protected:
    FreshTarget fresh{GetParam()};

    void SetUp() override {
        std::unique_ptr<Store> store = open_store(fresh.target());
        MeterRun first = store->begin_meter_run(sighting(5, "192.0.2.1:502"));
        store->write(store->begin_log(first, datalog_entry(1, volt_columns(2))),
                     datalog_batch(0, 4, 1, 2));
        MeterRun again = store->begin_meter_run(sighting(5, "192.0.2.7:1502"));
        store->write(store->begin_log(again, datalog_entry(1, volt_columns(3))),
                     datalog_batch(10, 2, 11, 3));
        EventBatch events;
        events.add({"2026-12-04T23:59:59.999Z", 1, 7, "Power up", "", "", "", "", 1, 2, 3});
        store->write(store->begin_log(again, eventlog_entry()), events);
        store->begin_meter_run(sighting(5, "192.0.2.9:502", "EM133"));
        store->close();
    }
};

TEST_P(HistoryTest, MetersWithTheirRunsAndLogSpans) {
    std::unique_ptr<Store> store = open_store(fresh.target(), OpenMode::Read);
    std::vector<StoredMeter> meters = stored_meters(*store);
    ASSERT_EQ(meters.size(), 2u);
    EXPECT_EQ(meters[0].model, "EM133");
    EXPECT_TRUE(meters[0].logs.empty());
    const StoredMeter& meter = meters[1];
    EXPECT_EQ(meter.model, "EM235");
    EXPECT_EQ(meter.runs, 2);
    EXPECT_EQ(meter.address, "192.0.2.7:1502");
    EXPECT_EQ(meter.last_run, "2026-12-06T00:00:00.000Z");
    ASSERT_EQ(meter.logs.size(), 2u);
    EXPECT_EQ(meter.logs[0].kind, LogKind::Eventlog);
    EXPECT_EQ(meter.logs[0].first, "2026-12-04T23:59:59.999Z");
    EXPECT_EQ(meter.logs[1].file_id, 1);
    EXPECT_EQ(meter.logs[1].records, 6);
    EXPECT_EQ(meter.logs[1].first, "2026-12-05T00:00:00.000Z");
    EXPECT_EQ(meter.logs[1].last, "2026-12-05T00:00:11.000Z");
}

TEST_P(HistoryTest, OneSerialOfTwoModelsNeedsTheModel) {
    std::unique_ptr<Store> store = open_store(fresh.target(), OpenMode::Read);
    try {
        find_meter(*store, 5, "");
        ADD_FAILURE() << "found one meter";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "Serial 5 names 2 meters (EM133, EM235): say which with --model");
    }
    EXPECT_EQ(find_meter(*store, 5, "EM235").runs, 2);
    EXPECT_THROW(find_meter(*store, 6, ""), std::runtime_error);
    EXPECT_THROW(find_log(find_meter(*store, 5, "EM235"), 2), std::runtime_error);
}

TEST_P(HistoryTest, LogOverARangeWithEachRecordsLayout) {
    std::unique_ptr<Store> store = open_store(fresh.target(), OpenMode::Read);
    StoredMeter meter = find_meter(*store, 5, "EM235");
    std::vector<std::string> seen;
    read_stored_datalog(*store, meter, 1, {"2026-12-05T00:00:02.000Z", "2026-12-05T00:00:11.000Z"},
                        [&](const StoredDatalogRecord& record) {
                            std::string line = record.time + " " + std::to_string(record.seq) +
                                               " " + record.trigger;
                            for (size_t i = 0; i < record.values.size(); ++i)
                                line += " " + (*record.columns)[i].name + "=" + record.values[i];
                            seen.push_back(line);
                        });
    EXPECT_EQ(seen,
              (std::vector<std::string>{"2026-12-05T00:00:02.000Z 3 SP V1=2.5 V2=3.5",
                                        "2026-12-05T00:00:03.000Z 4 SP V1=3.5 V2=4.5",
                                        "2026-12-05T00:00:10.000Z 11 SP V1=10.5 V2=11.5 V3=12.5"}));
    std::vector<std::string> events;
    read_stored_events(*store, meter, 0, {}, [&](const StoredEvent& event) {
        events.push_back(event.time + " " + event.event_no + " " + event.cause + " " +
                         event.value_triggered);
    });
    EXPECT_EQ(events, (std::vector<std::string>{"2026-12-04T23:59:59.999Z 7 Power up 3"}));
}

TEST(StoredValues, Table) {
    EXPECT_EQ(stored_values("[230.50,-1]"), (std::vector<std::string>{"230.50", "-1"}));
    EXPECT_EQ(stored_values("{0.001}"), (std::vector<std::string>{"0.001"}));
    EXPECT_EQ(stored_values("{}"), (std::vector<std::string>{}));
}

INSTANTIATE_TEST_SUITE_P(Store, HistoryTest,
                         ::testing::Values(Backend::SQLite, Backend::PostgreSQL),
                         [](const auto& param_info) { return backend_name(param_info.param); });

}  // namespace
}  // namespace tandrel_site::testing
