// tandrel_list_logs against the simulated meter: which files are listed,
// with what counts and columns, and the whole document byte for byte.
#include "log_fixture.h"

namespace log_test {
namespace {

class ListLogs : public LogSim {
protected:
    int list(std::vector<char>& out) {
        return tandrel_list_logs("127.0.0.1", "pm335", options.c_str(), out.data(),
                                 static_cast<int>(out.size()), err, sizeof err);
    }

    std::string columns_of(const std::vector<uint16_t>& ids) {
        return "," + columns_json(formats(ids, ids.size()));
    }

    static constexpr const char* PREFIX = "{\"meter\":\"em235\",\"host\":\"127.0.0.1\",\"logs\":[";
};

tandrel_sim::DataLogSetup datalog(std::vector<uint16_t> ids, int records) {
    tandrel_sim::DataLogSetup log_setup;
    log_setup.point_ids = std::move(ids);
    log_setup.records = records;
    return log_setup;
}

TEST_F(ListLogs, ListsWhatAnswersWithCountsAndColumns) {
    tandrel_sim::EventLogSetup events;
    events.events.resize(3);
    sim->set_eventlog(events);
    sim->set_datalog(1, datalog({4352, 3843, 5378}, 12));
    sim->set_datalog(2, datalog({4352, 4353}, 0));           // listed with 0 records
    sim->set_datalog(3, datalog({}, 0));                     // neither records nor columns
    tandrel_sim::DataLogSetup no_layout = datalog({4352}, 7);
    no_layout.layout = false;
    sim->set_datalog(5, no_layout);                          // listed, columns empty
    tandrel_sim::DataLogSetup no_info = datalog({4352}, 9);
    no_info.file_info = false;
    sim->set_datalog(6, no_info);                            // left out
    tandrel_sim::DataLogSetup unknown = datalog({0xF00D, 4352}, 4);
    unknown.layout_override = {0, 2, 0xF00D, 4352};
    unknown.layout_override.resize(18, 0x5555);
    sim->set_datalog(16, unknown);
    const std::string expected =
        std::string(PREFIX) + "{\"file_id\":0,\"type\":\"eventlog\",\"records\":3}," +
        "{\"file_id\":1,\"type\":\"datalog\",\"records\":12" + columns_of({4352, 3843, 5378}) +
        "},{\"file_id\":2,\"type\":\"datalog\",\"records\":0" + columns_of({4352, 4353}) +
        "},{\"file_id\":5,\"type\":\"datalog\",\"records\":7,\"columns\":[]}" +
        ",{\"file_id\":16,\"type\":\"datalog\",\"records\":4" + columns_of({0xF00D, 4352}) +
        "}]}";
    std::vector<char> out(4096);
    EXPECT_EQ(list(out), 5) << err;
    EXPECT_STREQ(err, "");
    EXPECT_EQ(std::string(out.data()), expected);
    EXPECT_NE(expected.find("{\"name\":\"Param_1 (0xF00D)\",\"unit\":\"\",\"decimals\":0}"),
              std::string::npos);
}

TEST_F(ListLogs, EmptyEventLogIsListedAlone) {
    sim->set_eventlog(tandrel_sim::EventLogSetup{});
    std::vector<char> out(512);
    EXPECT_EQ(list(out), 1) << err;
    EXPECT_EQ(std::string(out.data()),
              std::string(PREFIX) + "{\"file_id\":0,\"type\":\"eventlog\",\"records\":0}]}");
}

TEST_F(ListLogs, DataLogsWithoutEventLog) {
    sim->set_datalog(9, datalog({}, 2));
    std::vector<char> out(512);
    EXPECT_EQ(list(out), 1) << err;
    EXPECT_EQ(std::string(out.data()),
              std::string(PREFIX) + "{\"file_id\":9,\"type\":\"datalog\",\"records\":2" +
                  columns_of({}) + "}]}");
}

TEST_F(ListLogs, NoFileAnswersGivesAnEmptyArray) {
    std::vector<char> out(512);
    EXPECT_EQ(list(out), 0) << err;
    EXPECT_EQ(std::string(out.data()), std::string(PREFIX) + "]}");
}

}  // namespace
}  // namespace log_test
