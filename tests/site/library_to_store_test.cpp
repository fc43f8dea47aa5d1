// The library's own JSON, from a simulated em235, through the parsers into a
// store: every log stores as many records as the meter's directory lists,
// and a second pass over the unchanged meter stores none.
#include <gtest/gtest.h>

#include "library_json.h"
#include "record_time.h"
#include "simulator.h"
#include "store_fixture.h"
#include "tandrel.h"

namespace tandrel_site::testing {
namespace {

// What the output callback needs: a data log's layout is begun at its header.
struct Feed {
    Store& store;
    MeterRun run;
    LogEntry entry;
    LogRef log;
    DatalogBatch datalog;
    EventBatch events;
};

int TANDREL_CALL take_line(const char* text, void* user) {
    auto& feed = *static_cast<Feed*>(user);
    if (feed.entry.kind == LogKind::Eventlog)
        read_event_line(text, feed.events);
    else if (read_datalog_line(text, feed.entry.columns, feed.datalog) == StreamLine::Header)
        feed.log = feed.store.begin_log(feed.run, feed.entry);
    return 0;
}

std::string document(int (*call)(const char*, const char*, const char*, char*, int, char*, int),
                     const std::string& options) {
    std::string out(1 << 16, '\0');
    char err[256];
    int status = call("127.0.0.1", "em235", options.c_str(), out.data(),
                      static_cast<int>(out.size()), err, sizeof err);
    EXPECT_GE(status, 0) << err;
    return out.c_str();
}

// One pass of a collector: returns the new records per log, "file:new".
std::vector<std::string> collect_into(Store& store, const std::string& options) {
    MeterRun run = store.begin_meter_run(meter_sighting(document(tandrel_read_device_info, options),
                                                        "127.0.0.1", 1, format_record_time(0)));
    std::vector<std::string> added;
    for (const LogEntry& entry : log_entries(document(tandrel_list_logs, options))) {
        Feed feed{store, run, entry, {}, {}, {}};
        feed.entry.columns.clear();  // the header brings them
        if (entry.kind == LogKind::Eventlog) feed.log = store.begin_log(run, entry);
        char err[256];
        auto read = entry.kind == LogKind::Datalog ? tandrel_read_datalog : tandrel_read_eventlog;
        EXPECT_GE(read("127.0.0.1", "em235", entry.file_id, options.c_str(), take_line, &feed, err,
                       sizeof err),
                  0)
            << err;
        size_t stored = entry.kind == LogKind::Datalog ? store.write(feed.log, feed.datalog)
                                                       : store.write(feed.log, feed.events);
        added.push_back(std::to_string(entry.file_id) + ":" + std::to_string(stored));
    }
    return added;
}

TEST(LibraryToStore, EveryListedRecordOnceAndNothingOnTheSecondPass) {
    tandrel_sim::Simulator sim(tandrel_sim::Model::EM235);
    sim.start();
    std::string options = "{\"port\":" + std::to_string(sim.port()) + "}";
    FreshTarget fresh(Backend::SQLite);
    std::unique_ptr<Store> store = open_store(fresh.target());
    EXPECT_EQ(collect_into(*store, options),
              (std::vector<std::string>{"0:164", "1:300", "2:250", "3:200", "4:400"}));
    EXPECT_EQ(collect_into(*store, options),
              (std::vector<std::string>{"0:0", "1:0", "2:0", "3:0", "4:0"}));
    EXPECT_EQ(rows(*store,
                   "SELECT serial, model, count(*) FROM datalog_values WHERE file_id = 1 "
                   "GROUP BY serial, model"),
              (Rows{{"23501178", "EM235", "2400"}}));
}

}  // namespace
}  // namespace tandrel_site::testing
