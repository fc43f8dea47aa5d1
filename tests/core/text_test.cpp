// The texts the library reads (options, model names) and writes (JSON
// strings, time stamps): each unit against its table in tests/data/core.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "support/case_file.h"
#include "core/json_text.h"
#include "core/meter_model.h"
#include "core/options.h"
#include "core/time_text.h"

namespace tandrel {
namespace {

using testing::Case;
using testing::number;
using testing::read_cases;

TEST(ParseOptions, Table) {
    EXPECT_EQ(parse_options(nullptr).timeout_ms, 30000);
    for (const Case& c : read_cases("core/options.txt")) {
        std::string got;
        try {
            const Options o = parse_options(c[0].c_str());
            got = std::to_string(o.port) + " " + std::to_string(o.unit_id) + " " +
                  std::to_string(o.timeout_ms);
        } catch (const std::runtime_error& e) {
            got = e.what();
        }
        EXPECT_EQ(got, c[1]) << c.where;
    }
}

TEST(ParseMeter, Table) {
    for (const Case& c : read_cases("core/meter_names.txt")) {
        std::string got;
        try {
            got = model_text(parse_meter(c[0]));
        } catch (const std::runtime_error& e) {
            got = e.what();
        }
        EXPECT_EQ(got, c[1]) << c.where;
    }
}

TEST(JsonEscape, Table) {
    for (const Case& c : read_cases("core/json_escape.txt")) {
        EXPECT_EQ(json_escape(c[0]), c[1]) << c.where;
    }
    EXPECT_EQ(doc_prefix("a\"b", MeterModel::EM235), R"("meter":"em235","host":"a\"b")");
}

TEST(TimeText, Tables) {
    for (const Case& c : read_cases("core/record_times.txt")) {
        const auto seconds = static_cast<uint32_t>(number(c[0]));
        const auto microseconds = static_cast<uint32_t>(number(c[1]));
        EXPECT_EQ(fmt_iso_utc(seconds, microseconds), c[2]) << c.where;
        EXPECT_EQ(fmt_hmi_datetime(seconds, microseconds), c[3]) << c.where;
    }
    for (const Case& c : read_cases("core/reading_times.txt")) {
        EXPECT_EQ(fmt_iso_utc_ns(number(c[0])), c[1]) << c.where;
    }
}

}  // namespace
}  // namespace tandrel
