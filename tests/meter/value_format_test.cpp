#include "meter/value_format.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <string>

namespace tandrel {
namespace {

DataScales high_resolution_scales() {
    DataScales s;
    s.voltage_scale = 0.1;
    s.voltage_decimals = 1;
    s.current_scale = 0.01;
    s.current_decimals = 2;
    s.power_scale = 0.001;
    s.power_decimals = 3;
    s.energy_scale = 0.001;
    s.energy_decimals = 3;
    return s;
}

ColumnFormat fixed(double scale, int decimals) {
    ColumnFormat cf;
    cf.scale = scale;
    cf.decimals = decimals;
    return cf;
}

struct ResolveCase {
    uint16_t id;
    MeterModel model;
    const char* header;
    const char* unit;
    double scale;
    int decimals;
};

const ResolveCase RESOLVE_CASES[] = {
    {4352, MeterModel::EM133, "V1 (V)", "V", 0.1, 1},
    {4355, MeterModel::EM235, "I1 (A)", "A", 0.01, 2},
    {5120, MeterModel::EM235, "Total kW (kW)", "kW", 0.001, 3},
    {5888, MeterModel::EM133, "kWh import (kWh)", "kWh", 0.001, 3},
    {3843, MeterModel::EM235, "Total PF", "", 0.001, 3},
    {3090, MeterModel::EM235, "V1 THD (%)", "%", 0.1, 1},
    {3096, MeterModel::EM235, "I1 K-Factor", "", 0.1, 1},
    {4232, MeterModel::EM133, "V1 angle (deg)", "deg", 0.1, 1},
    {5378, MeterModel::EM235, "Frequency (Hz)", "Hz", 0.01, 2},
    {5386, MeterModel::EM235, "Frequency (Hz)", "Hz", 0.001, 3},
    {4108, MeterModel::EM133, "FREQ4 (Hz)", "Hz", 0.0001, 4},
    {4099, MeterModel::EM133, "V unbalance (%)", "%", 1.0, 0},
    {4099, MeterModel::EM235, "V unbalance (%)", "%", 0.1, 1},
    {28674, MeterModel::EM235, "Tariff 3 energy", "", 0.001, 3},
    {28930, MeterModel::EM235, "Tariff 3 max demand", "", 0.001, 3},
};

TEST(ResolveColumn, TakesNameUnitAndScalingFromThePointAndTheScales) {
    const DataScales scales = high_resolution_scales();
    for (const ResolveCase& c : RESOLVE_CASES) {
        SCOPED_TRACE(c.header);
        const ColumnFormat cf = resolve_column(c.id, 1, c.model, scales);
        EXPECT_EQ(cf.header, c.header);
        EXPECT_EQ(cf.unit, c.unit);
        EXPECT_EQ(cf.name + (cf.unit.empty() ? "" : " (" + cf.unit + ")"), cf.header);
        EXPECT_DOUBLE_EQ(cf.scale, c.scale);
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
    double scale;
    int decimals;
    const char* text;
};

const FormatCase FORMAT_CASES[] = {
    {2305, 0.1, 1, "230.5"},
    {-7, 0.1, 1, "-0.7"},
    {-987, 0.001, 3, "-0.987"},
    {1000, 0.001, 3, "1.000"},
    {5000, 0.01, 2, "50.00"},
    {500000, 0.0001, 4, "50.0000"},
    {12, 1.0, 0, "12"},
    {2305, 1.0, 0, "2305"},
    {2305, 1.0, 2, "2305.00"},
    {0, 0.1, 1, "0.0"},
    {INT32_MAX, 1.0, 0, "2147483647"},
    {INT32_MIN, 1.0, 0, "-2147483648"},
    {INT32_MIN, 0.001, 3, "-2147483.648"},
    {INT32_MAX, 0.0001, 4, "214748.3647"},
    {123456789, 0.01, 2, "1234567.89"},
    {15, 0.1, 0, "2"},
    {25, 10.0, 0, "250"},
    {1, 0.001, 2, "0.00"},
    {6, 0.001, 2, "0.01"},
    {999, 0.001, 2, "1.00"},
    {-1005, 0.0001, 3, "-0.101"},
};

TEST(FormatValue, PrintsTheScaledValueWithExactlyItsDecimals) {
    for (const FormatCase& c : FORMAT_CASES) {
        EXPECT_EQ(format_value(c.raw, fixed(c.scale, c.decimals)), c.text)
            << c.raw << " x " << c.scale << " / " << c.decimals;
    }
}

// The C library's printf in the "C" locale is an independent reference for
// the fixed-point text, for the common scales and for odd ones alike.
std::string printf_reference(int32_t raw, double scale, int decimals) {
    char buf[128];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, static_cast<double>(raw) * scale);
    return buf;
}

TEST(FormatValue, AgreesWithPrintfAcrossTheRawRange) {
    const std::pair<double, int> formats[] = {
        {0.1, 1}, {0.01, 2}, {0.001, 3}, {0.0001, 4}, {1e-9, 9}, {1.0, 2}, {0.1, 0}, {0.001, 2},
        {0.25, 1}, {0.003, 4}, {10.0, 0}, {1e-5, 3},
        // energy scales as the setup builds them
        {0.1 * 0.1, 2}, {0.1 * 0.1 * 0.1, 3}, {0.1 * 0.1 * 0.1 * 0.1, 4}, {0.1 * (1 + 1e-9), 1},
        {0.1 * (1 + 1e-9), 3}};
    uint32_t x = 1;
    for (int i = 0; i < 20000; ++i) {
        x = x * 1664525u + 1013904223u;
        const int32_t raw = i < 4 ? std::vector<int32_t>{INT32_MIN, INT32_MAX, 0, -1}[i]
                                  : static_cast<int32_t>(x) >> (i % 31);
        for (const auto& [scale, decimals] : formats) {
            ASSERT_EQ(format_value(raw, fixed(scale, decimals)),
                      printf_reference(raw, scale, decimals))
                << raw << " x " << scale << " / " << decimals;
        }
    }
}

TEST(FormatValue, NeverFailsOnUnreasonableFormats) {
    EXPECT_EQ(format_value(5, fixed(0.1, -3)), "0");
    EXPECT_EQ(format_value(7, fixed(1e300, 2)), "7");
    EXPECT_FALSE(format_value(7, fixed(0.1, 40)).empty());
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
    EXPECT_EQ(format_value(2305, fixed(0.1, 1)), "230.5");
    EXPECT_EQ(format_value(123456789, fixed(0.01, 2)), "1234567.89");
    EXPECT_EQ(format_value(1234567, fixed(1.0, 0)), "1234567");
}

}  // namespace
}  // namespace tandrel
