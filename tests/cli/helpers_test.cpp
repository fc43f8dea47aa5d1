// The tool's pure helpers, one table each, for what its command line cannot
// show: data/cases.json covers endpoints, point lists, site-file errors and
// the hints a meter can provoke.
#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>

#include "hints.h"
#include "json.h"
#include "library_call.h"
#include "progress.h"
#include "site_file.h"
#include "table.h"

namespace tandrel_cli {
namespace {

TEST(OptionsText, HoldsOnlyWhatWasGiven) {
    EXPECT_EQ(options_text(0, -1, 0), "{}");
    EXPECT_EQ(options_text(0, 0, 0), "{\"unit_id\":0}");
    EXPECT_EQ(options_text(1502, 3, 5000), "{\"port\":1502,\"unit_id\":3,\"timeout_ms\":5000}");
    ConnectionArgs args;
    args.host = "[::1]:1502";
    args.port = 1502;  // the same port twice is no contradiction
    args.timeout_s = 2.5;
    Target target = resolve_target(args);
    EXPECT_EQ(target.options, "{\"port\":1502,\"timeout_ms\":2500}");
    EXPECT_EQ(target.address, "[::1]:1502");
}

TEST(FailureHint, OnlyForTheCausesItKnows) {
    auto hint = [](const char* message, int datalog, bool timeout_option) {
        FailureContext context;
        context.datalog = datalog;
        context.timeout_option = timeout_option;
        return failure_hint(message, context);
    };
    EXPECT_EQ(hint("Timed out connecting to 192.0.2.10:1502", 0, true),
              "nothing answered at that address: is it the meter's, and is the meter on?");
    EXPECT_EQ(hint("socket recv failed", 0, false),
              "the meter stopped answering or closed the connection");
    // Elsewhere an exception 2 has no single cause; other messages speak for themselves.
    EXPECT_EQ(hint("Modbus exception 2", 0, true), "");
    EXPECT_EQ(hint("Modbus exception 3", 9, true), "");
    EXPECT_EQ(hint("Cannot connect", 0, true), "");
}

TEST(ParseJson, KeepsNumberTextUnescapesAndRejectsMalformedText) {
    JsonValue doc =
        parse_json(R"({"v":-0.010,"n":12,"x":1.5,"t":true,"s":"a\"b\\c\/d\n\u0001\u00e9"})");
    EXPECT_EQ(doc["v"].str(), "-0.010");
    EXPECT_EQ(doc["s"].str(), std::string("a\"b\\c/d\n\x01\xC3\xA9"));
    EXPECT_EQ(doc["n"].integer(), 12);
    for (const char* key : {"x", "s", "t", "missing"}) EXPECT_EQ(doc[key].integer(-7), -7) << key;
    EXPECT_EQ(parse_json("[4294967296]").items[0].integer(-7), -7);
    for (const char* text : {"", "{", "{\"a\":}", "{\"a\" 1}", "[1,]", "[1 2]", "\"open",
                             "{\"a\":1}x", "tru", "-", "\"\\q\"", "\"\\u12\"", "{1:2}", "nul"})
        EXPECT_THROW(parse_json(text), std::runtime_error) << text;
    EXPECT_THROW(parse_json(std::string(200, '[') + std::string(200, ']')), std::runtime_error);
}

TEST(FetchDocument, RetriesOnceWithTheSizeTheLibraryAsksFor) {
    EXPECT_EQ(needed_size("Output buffer too small: need 300000 bytes"), 300000);
    EXPECT_EQ(needed_size("Output buffer too small: need x bytes"), -1);
    EXPECT_EQ(needed_size("Connection refused"), -1);
    const std::string big(600000, 'x');
    std::vector<int> sizes;
    CallResult result = fetch_document([&](char* out, int out_len, char* err, int err_len) {
        sizes.push_back(out_len);
        if (out_len <= static_cast<int>(big.size())) {
            std::snprintf(err, err_len, "Output buffer too small: need %zu bytes", big.size() + 1);
            return -1;
        }
        std::memcpy(out, big.c_str(), big.size() + 1);
        return static_cast<int>(big.size());
    });
    EXPECT_EQ(sizes, (std::vector<int>{256 * 1024, 600001}));
    EXPECT_EQ(result.status, 600000);
    EXPECT_EQ(result.text, big);
    EXPECT_EQ(log_line(1, "x"), "[warning] x\n");
    EXPECT_EQ(log_line(3, nullptr), "[debug] \n");
}

TEST(ProgressText, BarSpinnerAndPlainLines) {
    EXPECT_EQ(progress_text(0, 120, 1.0, 0, true),
              "[------------------------------] 0/120  0.0 rec/s  0:01.0");
    EXPECT_EQ(progress_text(60, 120, 2.0, 0, true),
              "[###############---------------] 60/120  30.0 rec/s  0:02.0");
    // A meter may send more records than it announced, or announce none.
    EXPECT_EQ(progress_text(130, 120, 1.0, 0, true).substr(0, 32),
              "[" + std::string(30, '#') + "]");
    EXPECT_EQ(progress_text(5, 0, 0.0, 0, true).substr(0, 32), "[" + std::string(30, '-') + "]");
    EXPECT_EQ(progress_text(45, -1, 0.0, 1, true), "/ 45 records  0.0 rec/s  0:00.0");
    EXPECT_EQ(progress_text(45, 120, 3.0, 0, false), "45/120 records  15.0 rec/s  0:03.0");
    EXPECT_EQ(progress_text(45, -1, 59.96, 0, false), "45 records  0.8 rec/s  1:00.0");
    EXPECT_EQ(elapsed_text(725), "12:05.0");
    EXPECT_EQ(elapsed_text(7.34), "0:07.3");
    EXPECT_EQ(elapsed_text(-1), "0:00.0");
}

TEST(ParseSiteFile, ReadsEachMeterWithItsDefaults) {
    SiteFile site = parse_site_file("# site\n192.0.2.10\n  meter7:1502\tEM133  \n"
                                    "[::1]:1502 pm335 0 # gateway\nh em235 255#comment\n");
    ASSERT_TRUE(site.errors.empty());
    std::vector<std::string> seen;
    for (const SiteMeter& m : site.meters)
        seen.push_back(meter_dir_name(m) + " " + meter_endpoint(m) + " " + m.model + " " +
                       std::to_string(m.line));
    EXPECT_EQ(seen, (std::vector<std::string>{"192.0.2.10_502_1 192.0.2.10:502 em235 2",
                                              "meter7_1502_1 meter7:1502 em133 3",
                                              "--1_1502_0 [::1]:1502 pm335 4",
                                              "h_502_255 h:502 em235 5"}));
}

TEST(Table, WidthsCountUtf8CharactersAndALongCellWidensOnlyItsRow) {
    Table table({{"A"}, {"B", Align::Right}});
    table.add_row({"\xC2\xB0" "C", "x"});
    table.add_row({"abc", "yy"});
    EXPECT_EQ(table.render(), "A     B\n\xC2\xB0" "C    x\nabc  yy\n");
    EXPECT_EQ(format_row({"12345", "2"}, {3, 4}, {Align::Right, Align::Right}), "12345     2");
}

}  // namespace
}  // namespace tandrel_cli
