// Options text and model names.
#include "core/meter_model.h"
#include "core/options.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace tandrel {
namespace {

struct OptionsCase {
    const char* text;
    int port;
    int unit_id;
    int timeout_ms;
};

const OptionsCase ACCEPTED[] = {
    {nullptr, 502, 1, 30000},
    {"", 502, 1, 30000},
    {"{}", 502, 1, 30000},
    {"not json at all", 502, 1, 30000},
    {R"({"port":1502,"unit_id":3,"timeout_ms":5000})", 1502, 3, 5000},
    {"{\"port\" \n :\t 1502}", 1502, 1, 30000},
    {R"({"port":"1502"})", 502, 1, 30000},
    {R"({"xport":9})", 502, 1, 30000},
    {R"({"port":502.9})", 502, 1, 30000},
    {R"({"port":1e3})", 1, 1, 30000},
    {R"({"port":+77})", 77, 1, 30000},
    {R"({"unit_id":0})", 502, 0, 30000},
    {R"({"unit_id":255})", 502, 255, 30000},
    {R"({"timeout_ms":100})", 502, 1, 100},
    {R"({"timeout_ms":3600000})", 502, 1, 3600000},
    {R"({"port":65535})", 65535, 1, 30000},
    {R"({"nested":{"port":7}})", 7, 1, 30000},
};

TEST(ParseOptions, AcceptedTexts) {
    for (const auto& c : ACCEPTED) {
        const Options o = parse_options(c.text);
        const std::string label = c.text ? c.text : "(null)";
        EXPECT_EQ(o.port, c.port) << label;
        EXPECT_EQ(o.unit_id, c.unit_id) << label;
        EXPECT_EQ(o.timeout_ms, c.timeout_ms) << label;
    }
}

struct RejectedCase {
    const char* text;
    const char* message;
};

const RejectedCase REJECTED[] = {
    {R"({"port":0})", "options.port must be 1-65535"},
    {R"({"port":65536})", "options.port must be 1-65535"},
    {R"({"port":-1})", "options.port must be 1-65535"},
    {R"({"port":99999999999})", "options.port must be 1-65535"},
    // 2^32 + 1 must saturate, never wrap to port 1, whatever the width of long.
    {R"({"port":4294967297})", "options.port must be 1-65535"},
    {R"({"unit_id":-1})", "options.unit_id must be 0-255"},
    {R"({"unit_id":256})", "options.unit_id must be 0-255"},
    {R"({"unit_id":4294967296})", "options.unit_id must be 0-255"},
    {R"({"timeout_ms":99})", "options.timeout_ms must be 100-3600000"},
    {R"({"timeout_ms":3600001})", "options.timeout_ms must be 100-3600000"},
    {R"({"timeout_ms":-100})", "options.timeout_ms must be 100-3600000"},
    // The port is checked first, then the unit id, then the time-out.
    {R"({"timeout_ms":1,"unit_id":300,"port":0})", "options.port must be 1-65535"},
    {R"({"timeout_ms":1,"unit_id":300})", "options.unit_id must be 0-255"},
};

TEST(ParseOptions, RejectedTextsNameTheKey) {
    for (const auto& c : REJECTED) {
        try {
            parse_options(c.text);
            ADD_FAILURE() << "accepted " << c.text;
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), c.message) << c.text;
        }
    }
}

TEST(JsonIntField, LeavesValueUntouchedWhenAbsentOrNotANumber) {
    for (const char* text : {R"({"a":1})", R"({"port"})", R"({"port": x})", R"({"port":"5"})"}) {
        int32_t v = 1234;
        EXPECT_FALSE(json_int_field(text, "port", v)) << text;
        EXPECT_EQ(v, 1234) << text;
    }
}

TEST(JsonIntField, SaturatesAtThirtyTwoBits) {
    int32_t v = 0;
    ASSERT_TRUE(json_int_field(R"({"k":99999999999})", "k", v));
    EXPECT_EQ(v, INT32_MAX);
    ASSERT_TRUE(json_int_field(R"({"k":-99999999999})", "k", v));
    EXPECT_EQ(v, INT32_MIN);
}

struct ModelCase {
    const char* text;
    MeterModel model;
};

TEST(ParseMeter, AcceptsTheThreeNamesInAnyCase) {
    const ModelCase cases[] = {{"em133", MeterModel::EM133}, {"EM133", MeterModel::EM133},
                               {"em235", MeterModel::EM235}, {"Em235", MeterModel::EM235},
                               {"pm335", MeterModel::EM235}, {"PM335", MeterModel::EM235}};
    for (const auto& c : cases) EXPECT_EQ(parse_meter(c.text), c.model) << c.text;
    EXPECT_STREQ(model_text(parse_meter("pm335")), "em235");
    EXPECT_STREQ(model_text(parse_meter("EM133")), "em133");
}

TEST(ParseMeter, RejectsEverythingElseQuotingTheCallersText) {
    for (const char* text : {"", " em133", "em133 ", "em 133", "em1335", "EM13", "pm336"}) {
        try {
            parse_meter(text);
            ADD_FAILURE() << "accepted '" << text << "'";
        } catch (const std::runtime_error& e) {
            EXPECT_EQ(std::string(e.what()),
                      std::string("Unknown meter model '") + text + "' (expected em133 or em235)");
        }
    }
}

}  // namespace
}  // namespace tandrel
