// The tool's pure helpers, one table each, for what its command line cannot
// show: data/cases.json covers endpoints, point lists, site-file errors and
// the hints a meter can provoke.
#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>

#include "hints.h"
#include "site_names.h"
#include "library_call.h"
#include "live_frame.h"
#include "model_check.h"
#include "progress.h"
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
    auto hint = [](const char* message, int datalog, bool timeout_option,
                   ModelSetting setting = ModelSetting::MeterOption) {
        FailureContext context;
        context.datalog = datalog;
        context.timeout_option = timeout_option;
        context.model_setting = setting;
        return failure_hint(message, context);
    };
    EXPECT_EQ(hint("Timed out connecting to 192.0.2.10:1502", 0, true),
              "nothing answered at that address: is it the meter's, and is the meter on?");
    EXPECT_EQ(hint("socket recv failed", 0, false),
              "the meter stopped answering or closed the connection");
    // Outside a log read, the registers asked for are ones every model has.
    EXPECT_EQ(hint("Modbus exception 2", 0, true),
              "the device has no such register: is it an em133, em235 or pm335, and is the unit "
              "id right?");
    const char* mismatch = "the meter at h reports model id 133 (em133), not em235";
    const char* unknown = "the meter at h reports model id 7, which is none of em133, em235 or pm335";
    EXPECT_EQ(hint(mismatch, 0, true), "leave out --meter to read it as the model it reports, or "
                                       "add --force-model to read it as the one given");
    EXPECT_EQ(hint(mismatch, 0, true, ModelSetting::SiteFile),
              "leave the model out of its line of the site file to read it as the model it "
              "reports, or add force-model to the line");
    EXPECT_EQ(hint(mismatch, 0, false, ModelSetting::Implied), "add --force-model to read it anyway");
    EXPECT_EQ(hint(unknown, 0, true),
              "if it reads as one of them, name that model with --meter and add --force-model");
    EXPECT_EQ(hint(unknown, 0, true, ModelSetting::SiteFile),
              "if it reads as one of them, write that model and force-model on its line of the "
              "site file");
    // Other messages speak for themselves.
    EXPECT_EQ(hint("Modbus exception 3", 9, true), "");
    EXPECT_EQ(hint("Cannot connect", 0, true), "");
}

TEST(ChooseModel, LearnsFromTheIdentityOrChecksTheModelGiven) {
    struct Case {
        const char* given;
        long long id;
        const char* chosen;  // or the message
    };
    const Case cases[] = {
        {"", 133, "em133"},
        {"", 235, "em235"},
        {"", 335, "pm335"},
        {"EM133", 133, "em133"},
        // A pm335 reads as an em235: either name fits either meter.
        {"em235", 335, "em235"},
        {"pm335", 235, "pm335"},
        {"em235", 133, "the meter at h:1502 reports model id 133 (em133), not em235"},
        {"em133", 335, "the meter at h:1502 reports model id 335 (pm335), not em133"},
        {"em235", 0, "the meter at h:1502 reports model id 0 (none of em133, em235 or pm335), not em235"},
        {"", 4294967295LL,
         "the meter at h:1502 reports model id 4294967295, which is none of em133, em235 or pm335"},
    };
    for (const Case& c : cases) {
        std::string got;
        try {
            got = choose_model(c.given, c.id, "h:1502");
        } catch (const std::runtime_error& e) {
            got = e.what();
        }
        EXPECT_EQ(got, c.chosen) << c.given << " " << c.id;
    }
}

// Seven readings; the widest line is 33 characters, a panel 27.
TEST(LiveFrame, FitsTheTerminalSideBySideOrWithANote) {
    JsonValue doc = parse_json(
        R"({"meter":"em235","host":"h","timestamp":"T","readings":[)"
        R"({"pid":4352,"name":"V1","value":230.0,"unit":"V"},)"
        R"({"pid":4353,"name":"V2","value":231.3,"unit":"V"},)"
        R"({"pid":4355,"name":"I1","value":39.28,"unit":"A"},)"
        R"({"pid":4356,"name":"I2","value":48.10,"unit":"A"},)"
        R"({"pid":5120,"name":"Total kW","value":26.345,"unit":"kW"},)"
        R"({"pid":5123,"name":"Total PF","value":0.946,"unit":""},)"
        R"({"pid":5378,"name":"Frequency","value":50.00,"unit":"Hz"}]})");
    auto frame = [&doc](int columns, int rows) {
        std::string text;
        for (const auto& line : live_frame(doc, columns, rows)) text += line + "\n";
        return text;
    };
    // No size known, or room enough: one panel.
    const std::string whole = "em235 at h, T\n"
                              "NAME        VALUE  UNIT   PID\n"
                              "V1          230.0  V     4352\n"
                              "V2          231.3  V     4353\n"
                              "I1          39.28  A     4355\n"
                              "I2          48.10  A     4356\n"
                              "Total kW   26.345  kW    5120\n"
                              "Total PF    0.946        5123\n"
                              "Frequency   50.00  Hz    5378\n";
    EXPECT_EQ(frame(0, 0), whole);
    EXPECT_EQ(frame(80, 11), whole);
    // Six lines: two panels of four rows, the second one shorter.
    EXPECT_EQ(frame(80, 7), "em235 at h, T\n"
                            "NAME        VALUE  UNIT   PID    NAME        VALUE  UNIT   PID\n"
                            "V1          230.0  V     4352    Total kW   26.345  kW    5120\n"
                            "V2          231.3  V     4353    Total PF    0.946        5123\n"
                            "I1          39.28  A     4355    Frequency   50.00  Hz    5378\n"
                            "I2          48.10  A     4356\n");
    // Too narrow for two panels with the ids, wide enough without them.
    EXPECT_EQ(frame(51, 7), "em235 at h, T\n"
                            "NAME        VALUE  UNIT    NAME        VALUE  UNIT\n"
                            "V1          230.0  V       Total kW   26.345  kW\n"
                            "V2          231.3  V       Total PF    0.946\n"
                            "I1          39.28  A       Frequency   50.00  Hz\n"
                            "I2          48.10  A\n");
    // One narrow panel: what fits, a note, and no line as wide as the terminal.
    EXPECT_EQ(frame(30, 6), "em235 at h, T\n"
                            "NAME        VALUE  UNIT   PID\n"
                            "V1          230.0  V     4352\n"
                            "V2          231.3  V     4353\n"
                            "... 5 more not shown: a large\n");
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
    // The time left at the rate so far, once there is a rate and while records are due.
    EXPECT_EQ(progress_text(60, 120, 2.0, 0, true),
              "[###############---------------] 60/120  30.0 rec/s  0:02.0  0:02.0 left");
    EXPECT_EQ(progress_text(120, 120, 4.0, 0, true),
              "[##############################] 120/120  30.0 rec/s  0:04.0");
    // A meter may send more records than it announced, or announce none.
    EXPECT_EQ(progress_text(130, 120, 1.0, 0, true).substr(0, 32),
              "[" + std::string(30, '#') + "]");
    EXPECT_EQ(progress_text(5, 0, 0.0, 0, true).substr(0, 32), "[" + std::string(30, '-') + "]");
    EXPECT_EQ(progress_text(45, -1, 0.0, 1, true), "/ 45 records  0.0 rec/s  0:00.0");
    EXPECT_EQ(progress_text(45, 120, 3.0, 0, false),
              "45/120 records  15.0 rec/s  0:03.0  0:05.0 left");
    EXPECT_EQ(progress_text(45, -1, 59.96, 0, false), "45 records  0.8 rec/s  1:00.0");
    EXPECT_EQ(elapsed_text(725), "12:05.0");
    EXPECT_EQ(elapsed_text(7.34), "0:07.3");
    EXPECT_EQ(elapsed_text(-1), "0:00.0");
}

TEST(ParseSiteFile, ReadsEachMeterWithItsDefaults) {
    SiteFile site = parse_site_file("# site\n192.0.2.10\n  meter7:1502\tEM133  \n"
                                    "[::1]:1502 pm335 0 # gateway\nh em235 255#comment\n"
                                    "g 7\nf em133 force-model\ne:5020 Pm335 2 force-model\n");
    ASSERT_TRUE(site.errors.empty());
    std::vector<std::string> seen;
    for (const SiteMeter& m : site.meters)
        seen.push_back(meter_dir_name(m) + " " + meter_endpoint(m) + " " +
                       (m.model.empty() ? "?" : m.model) + (m.force_model ? "!" : "") + " " +
                       std::to_string(m.line));
    EXPECT_EQ(seen, (std::vector<std::string>{"192.0.2.10_502_1 192.0.2.10:502 ? 2",
                                              "meter7_1502_1 meter7:1502 em133 3",
                                              "--1_1502_0 [::1]:1502 pm335 4",
                                              "h_502_255 h:502 em235 5",
                                              "g_502_7 g:502 ? 6",
                                              "f_502_1 f:502 em133! 7",
                                              "e_5020_2 e:5020 pm335! 8"}));
}

TEST(ParseSiteFile, ANameRunsToTheEndOfTheLineAndNamesOneMeter) {
    SiteFile site = parse_site_file("192.0.2.10 em235 3 name=Boiler room  # east wing\n"
                                    "192.0.2.11 name=x=y\n192.0.2.12 rename=no\n"
                                    "192.0.2.13 name=\nname=Pump\n192.0.2.14 name=Boiler room\n");
    std::vector<std::string> names;
    for (const SiteMeter& m : site.meters) names.push_back(m.name + "|" + std::to_string(m.unit));
    EXPECT_EQ(names, (std::vector<std::string>{"Boiler room|3", "x=y|1"}));
    std::vector<std::string> errors;
    for (const SiteError& e : site.errors) errors.push_back(std::to_string(e.line) + " " + e.message);
    EXPECT_EQ(errors, (std::vector<std::string>{"3 unknown model 'rename=no' (expected em133, em235 or pm335)",
                                                "4 name= needs a name after it",
                                                "5 name= needs a meter before it",
                                                "6 the same name as line 1"}));
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
