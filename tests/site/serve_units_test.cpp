// The pure pieces of `serve`: exact unit conversion, the exposition text, and
// how units behind one address share the per-host connections.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "decimal_text.h"
#include "poll_plan.h"
#include "prometheus_exposition.h"
#ifdef TANDREL_HAS_SERVE
#include "service_log.h"
#endif

namespace tandrel_site {
namespace {

TEST(ScaleDecimal, Table) {
    const struct {
        const char* text;
        long long multiplier;
        int power;
        const char* scaled;
    } CASES[] = {
        {"8.402", 1, 3, "8402"},          {"0.5", 1, 3, "500"},
        {"2.1", 1, -2, "0.021"},          {"100", 1, -2, "1"},
        {"74566.044", 36, 5, "268437758400"}, {"-0.001", 1, 3, "-1"},
        {"-0.000", 1, 3, "0"},           {"230.50", 1, 0, "230.5"},
        {"0.0625", 1, -1, "0.00625"},     {"999999999999999999", 36, 5, ""},
        {"1e3", 1, 0, ""},                {"1.2.3", 1, 0, ""},
        {"-", 1, 0, ""},                  {"", 1, 0, ""},
    };
    for (const auto& c : CASES)
        EXPECT_EQ(scale_decimal(c.text, c.multiplier, c.power), c.scaled) << c.text;
}

// A meter that answered and one that did not: the second keeps its old
// readings, which must not be shown; an unknown point is left out.
TEST(Exposition, MatchesTheHandWrittenText) {
    MeterState up;
    up.name = "a:502/1", up.serial = "7", up.model = "em235", up.up = true;
    up.polls = 3, up.failures = 1, up.skipped = 4, up.last_poll_seconds = 0.25;
    up.last_success_ms = 1767225600500;
    up.readings = {{4352, "V1", "V", 230.5, "230.50"},
                   {9999, "odd", "", 1, "1"},
                   {5120, "Total kW", "kW", -1.5, "-1.5"},
                   {5888, "kWh import", "kWh", 0.001, "0.001"}};
    MeterState down;
    down.name = "b\"\\:502/2", down.polls = 2, down.failures = 2, down.last_poll_seconds = 5;
    down.readings = up.readings;
    std::ifstream in(TANDREL_TEST_DATA_DIR "/serve/exposition.txt");
    std::stringstream expected;
    expected << in.rdbuf();
    EXPECT_EQ(render_exposition({up, down}, ProcessStats{}), expected.str());
}

TEST(PollPlan, UnitsBehindOneAddressShareThePerHostConnections) {
    SiteFile site = parse_site_file("10.0.0.1 em235 1\n10.0.0.1 em235 2\n10.0.0.2 name=Pump 2\n"
                                    "10.0.0.1 em235 3\n10.0.0.1:503 em133 force-model\n");
    std::vector<PolledMeter> plan = poll_plan(site.meters, 2, 4000);
    const char* const EXPECTED[][2] = {
        {"10.0.0.1:502/1", R"({"port":502,"unit_id":1,"timeout_ms":4000,"connection":1})"},
        {"10.0.0.1:502/2", R"({"port":502,"unit_id":2,"timeout_ms":4000,"connection":2})"},
        {"Pump 2", R"({"port":502,"unit_id":1,"timeout_ms":4000,"connection":1})"},
        {"10.0.0.1:502/3", R"({"port":502,"unit_id":3,"timeout_ms":4000,"connection":1})"},
        {"10.0.0.1:503/1", R"({"port":503,"unit_id":1,"timeout_ms":4000,"connection":1})"},
    };
    ASSERT_EQ(plan.size(), 5u);
    for (size_t i = 0; i < plan.size(); ++i) {
        EXPECT_EQ(plan[i].name, EXPECTED[i][0]);
        EXPECT_EQ(plan[i].target.options, EXPECTED[i][1]);
    }
    EXPECT_FALSE(plan[4].target.check_model);
    EXPECT_EQ(plan[4].target.meter, "em133");
}

#ifdef TANDREL_HAS_SERVE
TEST(ServiceLog, JournalPriorityOnlyOffATerminal) {
    EXPECT_EQ(log_text(LogLevel::Error, "x", false), "<3>tandrel: error: x\n");
    EXPECT_EQ(log_text(LogLevel::Warning, "x", true), "tandrel: warning: x\n");
    EXPECT_EQ(log_text(LogLevel::Info, "x", false), "<6>tandrel: x\n");
}
#endif

}  // namespace
}  // namespace tandrel_site
