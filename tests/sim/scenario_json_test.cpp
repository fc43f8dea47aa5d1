// What tandrel-sim reads besides the scenarios the wire and integration cases
// play: the messages of bad scenario files, and its command line.
#if TANDREL_SIM_HAS_SCENARIO

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "support/case_file.h"
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
    for (const auto& c : tandrel::testing::read_cases("sim/bad_scenarios.txt")) {
        try {
            Simulator sim(Model::EM235, SimOptions::deterministic());
            apply_scenario(c[0], sim);
            ADD_FAILURE() << c.where;
        } catch (const std::runtime_error& e) {
            EXPECT_NE(std::string(e.what()).find(c[1]), std::string::npos)
                << c.where << ": " << e.what();
        }
    }
}

// The refusal counts the block as served: a log shorter than its block size
// fills one block with what it has.
TEST(ScenarioJson, BlocksUpToTheLastRegisterLoad) {
    const std::string eight_points = R"("points":[4352,4353,4354,4355,4356,4357,4358,4359])";
    for (const std::string log : {R"("records":99,"records_per_block":99)",
                                  R"("records":99,"records_per_block":100)",
                                  R"("records":1,"record_words":2376)"}) {
        Simulator sim(Model::EM235, SimOptions::deterministic());
        EXPECT_NO_THROW(apply_scenario(R"({"datalogs":[{"file":3,)" + eight_points + "," + log + "}]}", sim))
            << log;
        EXPECT_FALSE(sim.log_records(3).empty()) << log;
    }
}

// The scenarios shipped beside the simulator, which no other test plays,
// keep up with the format: an unknown key or a block too large stops them.
TEST(ScenarioJson, ShippedScenariosLoad) {
    int loaded = 0;
    for (const auto& entry : std::filesystem::directory_iterator(TANDREL_SIM_SCENARIOS_DIR)) {
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const ScenarioHead head = read_scenario_head(text);
        Simulator sim(head.model, head.options);
        EXPECT_NO_THROW(apply_scenario(text, sim)) << entry.path();
        ++loaded;
    }
    EXPECT_GT(loaded, 0);
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
