#include "meter/value_format.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <string>
#include <vector>

namespace tandrel {
namespace {

DataScales high_resolution_scales() {
    DataScales s;
    s.voltage_decimals = 1;
    s.current_decimals = 2;
    s.power_decimals = 3;
    s.energy_decimals = 3;
    return s;
}

ColumnFormat fixed(int decimals) {
    ColumnFormat cf;
    cf.decimals = decimals;
    return cf;
}

struct ResolveCase {
    uint16_t id;
    MeterModel model;
    const char* header;
    const char* unit;
    int decimals;
};

const ResolveCase RESOLVE_CASES[] = {
    {4352, MeterModel::EM133, "V1 (V)", "V", 1},
    {4355, MeterModel::EM235, "I1 (A)", "A", 2},
    {5120, MeterModel::EM235, "Total kW (kW)", "kW", 3},
    {5888, MeterModel::EM133, "kWh import (kWh)", "kWh", 3},
    {3843, MeterModel::EM235, "Total PF", "", 3},
    {3090, MeterModel::EM235, "V1 THD (%)", "%", 1},
    {3096, MeterModel::EM235, "I1 K-Factor", "", 1},
    {4232, MeterModel::EM133, "V1 angle (deg)", "deg", 1},
    {5378, MeterModel::EM235, "Frequency (Hz)", "Hz", 2},
    {5386, MeterModel::EM235, "Frequency (Hz)", "Hz", 3},
    {4108, MeterModel::EM133, "FREQ4 (Hz)", "Hz", 4},
    {4099, MeterModel::EM133, "V unbalance (%)", "%", 0},
    {4099, MeterModel::EM235, "V unbalance (%)", "%", 1},
    {28674, MeterModel::EM235, "Tariff 3 energy", "", 3},
    {28930, MeterModel::EM235, "Tariff 3 max demand", "", 3},
};

TEST(ResolveColumn, TakesNameUnitAndScalingFromThePointAndTheScales) {
    const DataScales scales = high_resolution_scales();
    for (const ResolveCase& c : RESOLVE_CASES) {
        SCOPED_TRACE(c.header);
        const ColumnFormat cf = resolve_column(c.id, 1, c.model, scales);
        EXPECT_EQ(cf.header, c.header);
        EXPECT_EQ(cf.unit, c.unit);
        EXPECT_EQ(cf.name + (cf.unit.empty() ? "" : " (" + cf.unit + ")"), cf.header);
        EXPECT_EQ(cf.decimals, c.decimals);
    }
}

struct SummaryUnitCase {
    uint16_t id;
    std::vector<std::string> units;
    const char* header;
};

const SummaryUnitCase SUMMARY_UNIT_CASES[] = {
    {6017, {"kWh", "MJ"}, "Energy REG2 (MJ)"},
    {18305, {"kWh", "MJ"}, "Max demand REG2 (MJ)"},
    {18305, {"kWh", "kvarh"}, "Max demand REG2 (kvar)"},
    {18304, {"kWh"}, "Max demand REG1 (kW)"},
    {18304, {"kVAh"}, "Max demand REG1 (kVA)"},
    {6016, {"kVAh"}, "Energy REG1 (kVAh)"},
    {18304, {"m3"}, "Max demand REG1 (m3)"},
    {18304, {"h"}, "Max demand REG1 (h)"},
    {6017, {"kWh", ""}, "Energy REG2"},
    {6029, std::vector<std::string>(12, "kWh"), "Energy REG14"},
    {6016, {}, "Energy REG1"},
};

TEST(ResolveColumn, GivesSummaryRegistersTheUnitOfTheMetersSetup) {
    for (const SummaryUnitCase& c : SUMMARY_UNIT_CASES) {
        DataScales s = high_resolution_scales();
        s.summary_units = c.units;
        const ColumnFormat cf = resolve_column(c.id, 1, MeterModel::EM235, s);
        EXPECT_EQ(cf.header, c.header);
    }
    DataScales s = high_resolution_scales();
    s.summary_units = {"kWh", "MJ"};
    const ColumnFormat energy = resolve_column(6017, 1, MeterModel::EM235, s);
    EXPECT_EQ(energy.decimals, s.energy_decimals);
    EXPECT_EQ(resolve_column(28673, 1, MeterModel::EM235, s).unit, "");
}

struct FormatCase {
    int32_t raw;
    int decimals;
    const char* text;
};

const FormatCase FORMAT_CASES[] = {
    {2305, 1, "230.5"},
    {-7, 1, "-0.7"},
    {-987, 3, "-0.987"},
    {1000, 3, "1.000"},
    {5000, 2, "50.00"},
    {500000, 4, "50.0000"},
    {12, 0, "12"},
    {0, 1, "0.0"},
    {INT32_MAX, 0, "2147483647"},
    {INT32_MIN, 0, "-2147483648"},
    {INT32_MIN, 3, "-2147483.648"},
    {INT32_MAX, 4, "214748.3647"},
    {123456789, 2, "1234567.89"},
    {-1005, 4, "-0.1005"},
};

TEST(FormatValue, PrintsTheRawValueInStepsOfItsDecimals) {
    for (const FormatCase& c : FORMAT_CASES) {
        EXPECT_EQ(format_value(c.raw, fixed(c.decimals)), c.text) << c.raw << " / " << c.decimals;
    }
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

// Switches to a German locale (decimal comma) under the name the C runtime
// knows, and restores the process locale however the test ends.
class DecimalCommaLocale {
public:
    DecimalCommaLocale() : saved_(std::setlocale(LC_ALL, nullptr)) {
        for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "German_Germany.1252", "de-DE"}) {
            if (std::setlocale(LC_ALL, name) != nullptr) {
                active_ = true;
                return;
            }
        }
    }
    ~DecimalCommaLocale() { std::setlocale(LC_ALL, saved_.c_str()); }
    bool active() const { return active_; }

private:
    std::string saved_;
    bool active_ = false;
};

TEST(FormatValue, IgnoresAHostLocaleWithADecimalComma) {
    DecimalCommaLocale locale;
    if (!locale.active()) GTEST_SKIP() << "no German locale is installed";
    ASSERT_EQ(*std::localeconv()->decimal_point, ',');
    EXPECT_EQ(format_value(2305, fixed(1)), "230.5");
    EXPECT_EQ(format_value(123456789, fixed(2)), "1234567.89");
}

}  // namespace
}  // namespace tandrel
