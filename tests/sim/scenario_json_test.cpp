// Scenario files and the command line of tandrel-sim.
#if TANDREL_SIM_HAS_SCENARIO

#include <gtest/gtest.h>

#include "scenario_json.h"
#include "sim_cli.h"
#include "sim/simulator.h"
#include "sim_test_client.h"

using namespace tandrel_sim;
using sim_test::RawClient;

TEST(ScenarioJson, HeadGivesModelAndOptions) {
    const ScenarioHead h = read_scenario_head(
        R"({"model":"PM335","deterministic":true,"default_logs":false,"fixed_time":"0x10"})");
    EXPECT_TRUE(h.has_model);
    EXPECT_EQ(h.model, Model::EM235);
    EXPECT_FALSE(h.options.live);
    EXPECT_FALSE(h.options.default_logs);
    EXPECT_EQ(h.options.fixed_time, 16u);
    EXPECT_FALSE(read_scenario_head("{}").has_model);
}

TEST(ScenarioJson, AppliesRegistersPointsLogsAndFaults) {
    const std::string doc = R"({
      "registers": [{"address": "0x0100", "values": [1, 2, "0x0003"]}],
      "points": [{"id": 4352, "raw": -2}],
      "reject": [{"from": "0x0101", "to": "0x0101", "exception": 4}],
      "diagnostics": {"address": 0, "unit_id": 5, "words": [7, 8]},
      "datalogs": [{"file": 9, "points": [4352], "records": 4, "records_per_block": 3,
                    "scenarios": [{"kind": "record_flags", "record": 1, "flags": "0x0400"}]}],
      "eventlog": {"events": [{"source": "0x6309", "effect": 1, "event_no": 3, "value": -1, "time": 5}]},
      "raw_logs": [{"file": 10, "records": [[0, 1, 2, 3, 4, 5, 6, 7]], "records_per_block": 1}],
      "faults": [{"action": "exception", "request": 2, "code": 6}]
    })";
    Simulator sim(Model::EM133, SimOptions::deterministic());
    apply_scenario(doc, sim);
    EXPECT_EQ(sim.register_value(0x0102), 3);
    EXPECT_EQ(sim.point_raw(4352), -2);
    ASSERT_EQ(sim.log_records(9).size(), 4u);
    EXPECT_EQ(sim.log_records(9)[1][0], 0x0400);
    ASSERT_EQ(sim.log_records(0).size(), 1u);
    EXPECT_EQ(sim.log_records(0)[0][7], 0x6309);
    EXPECT_EQ(sim.log_records(10).size(), 1u);
    sim.start();
    RawClient c(sim.port());
    EXPECT_EQ(c.exception_of(sim_test::read_pdu(0x0100, 1)), 0);
    EXPECT_EQ(c.exception_of(sim_test::read_pdu(0x0100, 1)), 6);  // the fault at request 2
    EXPECT_EQ(c.exception_of(sim_test::read_pdu(0x0100, 2)), 4);
    EXPECT_EQ(c.read(0, 2, 5), (std::vector<std::uint16_t>{7, 8}));
}

TEST(ScenarioJson, BadDocumentsNameTheProblem) {
    struct Case {
        const char* doc;
        const char* message_part;
    };
    const Case cases[] = {
        {"{", "Scenario: "},
        {"[]", "must be a JSON object"},
        {R"({"registers":[{"address":"zz","values":[]}]})", "\"address\" must be an integer"},
        {R"({"registers":[{"address":70000,"values":[]}]})", "out of range"},
        {R"({"points":[{"id":28672,"raw":1}]})", "no register family"},
        {R"({"datalogs":[{"file":0}]})", "1..16"},
        {R"({"faults":[{"action":"explode"}]})", "unknown fault action"},
        {R"({"datalogs":[{"file":1,"scenarios":[{"kind":"odd"}]}]})", "unknown log scenario"},
    };
    for (const Case& c : cases) {
        Simulator sim(Model::EM235, SimOptions::deterministic());
        try {
            apply_scenario(c.doc, sim);
            ADD_FAILURE() << c.doc;
        } catch (const std::runtime_error& e) {
            EXPECT_NE(std::string(e.what()).find(c.message_part), std::string::npos) << e.what();
        }
    }
    EXPECT_THROW(read_scenario_head(R"({"model":"em999"})"), std::runtime_error);
}

TEST(SimCli, ParsesOptions) {
    const CliOptions o = parse_cli({"--model", "em133", "-p", "0", "--trace", "--scenario", "x.json",
                                    "--deterministic", "--no-default-logs", "-a", "127.0.0.2"});
    EXPECT_EQ(o.model, "em133");
    EXPECT_TRUE(o.model_given);
    EXPECT_EQ(o.port, 0);
    EXPECT_TRUE(o.trace);
    EXPECT_EQ(o.scenario, "x.json");
    EXPECT_TRUE(o.deterministic);
    EXPECT_TRUE(o.no_default_logs);
    EXPECT_EQ(o.address, "127.0.0.2");
    EXPECT_EQ(parse_cli({}).port, 5020);
    EXPECT_TRUE(parse_cli({"--help"}).help);
}

TEST(SimCli, RejectsBadCommandLines) {
    const std::vector<std::vector<std::string>> bad = {
        {"--port"}, {"--port", "65536"}, {"--port", "12x"}, {"--port", "-1"}, {"--frobnicate"}};
    for (const auto& args : bad) {
        EXPECT_THROW(parse_cli(args), std::runtime_error) << args[0];
    }
    EXPECT_NE(help_text().find("--scenario"), std::string::npos);
}

#endif  // TANDREL_SIM_HAS_SCENARIO
