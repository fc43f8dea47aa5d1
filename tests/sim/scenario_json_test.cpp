// What tandrel-sim reads besides the scenarios the integration cases play:
// the messages of bad scenario files, and its command line.
#if TANDREL_SIM_HAS_SCENARIO

#include <gtest/gtest.h>

#include "scenario_json.h"
#include "sim/simulator.h"
#include "sim_cli.h"

using namespace tandrel_sim;

TEST(ScenarioJson, HeadGivesModelAndOptions) {
    const ScenarioHead h = read_scenario_head(R"({"model":"PM335","fixed_time":"0x10"})");
    EXPECT_EQ(h.model, Model::EM235);
    EXPECT_TRUE(h.options.live);
    EXPECT_TRUE(h.options.default_logs);
    EXPECT_EQ(h.options.fixed_time, 16u);
    EXPECT_FALSE(read_scenario_head("{}").has_model);
    EXPECT_THROW(read_scenario_head(R"({"model":"em999"})"), std::runtime_error);
}

TEST(ScenarioJson, BadDocumentsNameTheProblem) {
    const std::pair<const char*, const char*> cases[] = {
        {"{", "Scenario: "},
        {"[]", "must be a JSON object"},
        {R"({"registers":[{"address":"zz","values":[]}]})", "\"address\" must be an integer"},
        {R"({"registers":[{"address":70000,"values":[]}]})", "out of range"},
        {R"({"points":[{"id":28672,"raw":1}]})", "no register family"},
        {R"({"datalogs":[{"file":0}]})", "1..16"},
        {R"({"faults":[{"action":"explode"}]})", "unknown fault action"},
        {R"({"datalogs":[{"file":1,"scenarios":[{"kind":"odd"}]}]})", "unknown log scenario"},
    };
    for (const auto& [doc, message_part] : cases) {
        Simulator sim(Model::EM235, SimOptions::deterministic());
        try {
            apply_scenario(doc, sim);
            ADD_FAILURE() << doc;
        } catch (const std::runtime_error& e) {
            EXPECT_NE(std::string(e.what()).find(message_part), std::string::npos) << e.what();
        }
    }
}

TEST(SimCli, ParsesOptionsAndRejectsBadOnes) {
    const CliOptions o = parse_cli({"--model", "em133", "-p", "0", "--trace", "--scenario",
                                    "x.json", "--deterministic", "--no-default-logs", "-a",
                                    "127.0.0.2"});
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
    EXPECT_NE(help_text().find("--scenario"), std::string::npos);
    const std::vector<std::vector<std::string>> bad = {
        {"--port"}, {"--port", "65536"}, {"--port", "12x"}, {"--port", "-1"}, {"--frobnicate"}};
    for (const auto& args : bad) EXPECT_THROW(parse_cli(args), std::runtime_error) << args[0];
}

#endif  // TANDREL_SIM_HAS_SCENARIO
