// The texts the meter layer reads (point lists, model names) and writes
// (column headers, value texts): each unit against its table in
// tests/data/meter, and the value text against printf and a decimal comma.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "support/case_file.h"
#include "meter/device_info.h"
#include "meter/point_selection.h"
#include "meter/value_format.h"

namespace tandrel {
namespace {

using testing::Case;
using testing::number;
using testing::read_cases;

TEST(ParsePointList, Table) {
    for (const Case& c : read_cases("meter/point_lists.txt")) {
        std::string got;
        try {
            for (const uint16_t id : parse_point_list(c[0])) got += " " + std::to_string(id);
        } catch (const std::runtime_error& e) {
            got = " " + std::string(e.what());
        }
        EXPECT_EQ(got, c[1].empty() ? "" : " " + c[1]) << c.where;
    }
}

// The name is sixteen bytes, two per word, high byte first.
TEST(DecodeModelName, Table) {
    for (const Case& c : read_cases("meter/model_names.txt")) {
        std::vector<uint16_t> words(8, 0);
        for (size_t i = 0; i < c[0].size(); ++i) {
            words[i / 2] |= static_cast<uint16_t>(static_cast<uint8_t>(c[0][i]) << (i % 2 ? 0 : 8));
        }
        EXPECT_EQ(decode_model_name(words.data()), c[1]) << c.where;
    }
}

TEST(ResolveColumn, Table) {
    for (const Case& c : read_cases("meter/columns.txt")) {
        DataScales scales;
        scales.voltage_decimals = 5;
        scales.current_decimals = 6;
        scales.power_decimals = 7;
        scales.energy_decimals = 8;
        std::istringstream units(c[2]);
        for (std::string unit; units >> unit;) {
            scales.summary_units.push_back(unit == "-" ? "" : unit);
        }
        const MeterModel model = c[1] == "em133" ? MeterModel::EM133 : MeterModel::EM235;
        const ColumnFormat cf =
            resolve_column(static_cast<uint16_t>(number(c[0])), 3, model, scales);
        EXPECT_EQ(cf.header, c[3]) << c.where;
        EXPECT_EQ(cf.name + (cf.unit.empty() ? "" : " (" + cf.unit + ")"), c[3]) << c.where;
        EXPECT_EQ(cf.decimals, number(c[4])) << c.where;
    }
}

ColumnFormat fixed(int decimals) {
    ColumnFormat cf;
    cf.decimals = decimals;
    return cf;
}

// The C library's printf in the "C" locale is an independent reference for
// the fixed-point text: raw x 10^-decimals printed with those decimals.
TEST(FormatValue, AgreesWithPrintfAcrossTheRawRange) {
    const double steps[] = {1.0, 0.1, 0.01, 0.001, 0.0001};
    uint32_t x = 1;
    for (int i = 0; i < 20000; ++i) {
        x = x * 1664525u + 1013904223u;
        const int32_t raw = i < 4 ? std::vector<int32_t>{INT32_MIN, INT32_MAX, 0, -1}[i]
                                  : static_cast<int32_t>(x) >> (i % 31);
        for (int decimals = 0; decimals <= 4; ++decimals) {
            char reference[64];
            std::snprintf(reference, sizeof reference, "%.*f", decimals,
                          static_cast<double>(raw) * steps[decimals]);
            ASSERT_EQ(format_value(raw, fixed(decimals)), reference) << raw << " / " << decimals;
        }
    }
}

// A host may switch to a locale with a decimal comma, under the name its C
// runtime knows; the process locale is restored however the checks end.
TEST(FormatValue, IgnoresAHostLocaleWithADecimalComma) {
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    bool german = false;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "German_Germany.1252", "de-DE"}) {
        german = german || std::setlocale(LC_ALL, name) != nullptr;
    }
    if (german) {
        EXPECT_EQ(*std::localeconv()->decimal_point, ',');
        EXPECT_EQ(format_value(123456789, fixed(2)), "1234567.89");
    }
    std::setlocale(LC_ALL, saved.c_str());
    if (!german) GTEST_SKIP() << "no German locale is installed";
}

}  // namespace
}  // namespace tandrel
