#include "logs/event_classify.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace tandrel {
namespace {

struct ClassifyCase {
    int32_t source;
    int32_t effect;
    EventTexts expected;
};

void PrintTo(const ClassifyCase& c, std::ostream* os) {
    *os << std::hex << "(0x" << c.source << ", 0x" << c.effect << ")";
}

// Every override row, then the near misses that fall through to later rules.
const ClassifyCase OVERRIDE_CASES[] = {
    {0x031D, 0xE100, {"SP EVENT", "EVENT FLAG 30", "ON", "SP operated", "#1"}},
    {0x5A00, 0x2000, {"SP ACTION", "SP1", "", "Set event flag", "#1"}},
    {0x5A00, 0x2001, {"SP ACTION", "SP1", "", "Set event flag", "#2"}},
    {0x0080, 0xE103, {"SP EVENT", "SP1", "OFF", "SP operated", "#4"}},
    {0x0302, 0xE103, {"SP EVENT", "EVENT FLAG 3", "ON", "SP operated", "#4"}},
    {0x0302, 0xE102, {"SP EVENT", "EVENT FLAG 3", "ON", "SP operated", "#3"}},
    {0x0500, 0xE102, {"SP EVENT", "TIMER 1", "ON", "SP operated", "#3"}},
    {0x0303, 0xE105, {"SP EVENT", "EVENT FLAG 4", "ON", "SP operated", "#6"}},
    {0x5A05, 0x2103, {"SP ACTION", "SP6", "", "Clear event flag", "#4"}},
    // The same sources with other effects are not overridden.
    {0x5A00, 0x2002, {"SP ACTION", "SP1", "", "Set user event flag", "#3"}},
    {0x5A01, 0x2000, {"SP ACTION", "SP2", "", "Set user event flag", "#1"}},
    {0x5A05, 0x2104, {"SP ACTION", "SP6", "", "Clear user event flag", "#5"}},
    {0x031D, 0xE101, {"SP EVENT", "", "", "SP operated", "#2"}},
    {0x0080, 0xE102, {"SP EVENT", "", "", "SP operated", "#3"}},
    {0x0500, 0xE103, {"SP EVENT", "", "", "SP operated", "#4"}},
};

// Rule 2: every row of the setpoint action table at both ends, and the ids
// just outside, which fall back to "SP action" with the SP number.
const ClassifyCase SETPOINT_ACTION_CASES[] = {
    {0x5A01, 0x203F, {"SP ACTION", "SP2", "", "Set user event flag", "#64"}},
    {0x5A01, 0x2040, {"SP ACTION", "SP2", "", "SP action", "#2"}},
    {0x5A01, 0x1FFF, {"SP ACTION", "SP2", "", "SP action", "#2"}},
    {0x5A02, 0x2100, {"SP ACTION", "SP3", "", "Clear user event flag", "#1"}},
    {0x5A02, 0x213F, {"SP ACTION", "SP3", "", "Clear user event flag", "#64"}},
    {0x5A02, 0x2140, {"SP ACTION", "SP3", "", "SP action", "#3"}},
    {0x5A03, 0x3000, {"SP ACTION", "SP4", "", "Operate relay RO", "#1"}},
    {0x5A03, 0x303F, {"SP ACTION", "SP4", "", "Operate relay RO", "#64"}},
    {0x5A03, 0x2FFF, {"SP ACTION", "SP4", "", "SP action", "#4"}},
    {0x5A04, 0x3100, {"SP ACTION", "SP5", "", "Release latched relay RO", "#1"}},
    {0x5A04, 0x313F, {"SP ACTION", "SP5", "", "Release latched relay RO", "#64"}},
    {0x5A04, 0x3140, {"SP ACTION", "SP5", "", "SP action", "#5"}},
    {0x5A10, 0x3700, {"SP ACTION", "SP17", "", "Unblock relay RO", "#1"}},
    {0x5A10, 0x373F, {"SP ACTION", "SP17", "", "Unblock relay RO", "#64"}},
    {0x5A10, 0x3740, {"SP ACTION", "SP17", "", "SP action", "#17"}},
    {0x5A00, 0x3800, {"SP ACTION", "SP1", "", "Unblock direct control port", "#0"}},
    {0x5A00, 0x3807, {"SP ACTION", "SP1", "", "Unblock direct control port", "#7"}},
    {0x5A00, 0x3808, {"SP ACTION", "SP1", "", "SP action", "#1"}},
    {0x5A00, 0x3900, {"SP ACTION", "SP1", "", "Close breaker XCBR", "#1"}},
    {0x5A00, 0x3901, {"SP ACTION", "SP1", "", "Close breaker XCBR", "#2"}},
    {0x5A00, 0x3902, {"SP ACTION", "SP1", "", "Close switch XSWI", "#2"}},
    {0x5A00, 0x3905, {"SP ACTION", "SP1", "", "Close switch XSWI", "#5"}},
    {0x5A00, 0x390F, {"SP ACTION", "SP1", "", "Close switch XSWI", "#15"}},
    {0x5A00, 0x3910, {"SP ACTION", "SP1", "", "SP action", "#1"}},
    {0x5A20, 0x3A00, {"SP ACTION", "SP33", "", "Open breaker XCBR", "#1"}},
    {0x5A20, 0x3A01, {"SP ACTION", "SP33", "", "Open breaker XCBR", "#2"}},
    {0x5A20, 0x3A02, {"SP ACTION", "SP33", "", "Open switch XSWI", "#2"}},
    {0x5A20, 0x3A0F, {"SP ACTION", "SP33", "", "Open switch XSWI", "#15"}},
    {0x5A20, 0x3A10, {"SP ACTION", "SP33", "", "SP action", "#33"}},
    {0x5A07, 0x4000, {"SP ACTION", "SP8", "", "Increment counter", "#1"}},
    {0x5A07, 0x401F, {"SP ACTION", "SP8", "", "Increment counter", "#32"}},
    {0x5A07, 0x4020, {"SP ACTION", "SP8", "", "SP action", "#8"}},
    {0x5A07, 0x4100, {"SP ACTION", "SP8", "", "Decrement counter", "#1"}},
    {0x5A07, 0x411F, {"SP ACTION", "SP8", "", "Decrement counter", "#32"}},
    {0x5A07, 0x4120, {"SP ACTION", "SP8", "", "SP action", "#8"}},
    {0x5A07, 0x4200, {"SP ACTION", "SP8", "", "Clear counter", "#1"}},
    {0x5A07, 0x421F, {"SP ACTION", "SP8", "", "Clear counter", "#32"}},
    {0x5A07, 0x4220, {"SP ACTION", "SP8", "", "SP action", "#8"}},
    {0x5A3F, 0x5100, {"SP ACTION", "SP64", "", "Send event notification", "#64"}},
    {0x5A3F, 0x5101, {"SP ACTION", "SP64", "", "SP action", "#64"}},
    {0x5A09, 0x5300, {"SP ACTION", "SP10", "", "Remote control", "#10"}},
    {0x5A09, 0x5301, {"SP ACTION", "SP10", "", "SP action", "#10"}},
    {0x5A0A, 0x6000, {"SP ACTION", "SP11", "", "Reset total energy registers", "#11"}},
    {0x5A0A, 0x6100, {"SP ACTION", "SP11", "", "Reset total maximum demand registers", "#11"}},
    {0x5A0A, 0x6200, {"SP ACTION", "SP11", "", "Reset billing summary and TOU energy", "#11"}},
    {0x5A0A, 0x6300,
     {"SP ACTION", "SP11", "", "Reset billing summary and TOU maximum demands", "#11"}},
    {0x5A0A, 0x6400, {"SP ACTION", "SP11", "", "Clear all counters", "#11"}},
    {0x5A0A, 0x6500, {"SP ACTION", "SP11", "", "Clear Min/Max log registers", "#11"}},
    {0x5A0A, 0x6401, {"SP ACTION", "SP11", "", "SP action", "#11"}},
    {0x5A0B, 0x7000, {"SP ACTION", "SP12", "", "Event log on setpoint operated", "#12"}},
    {0x5A0B, 0x7001, {"SP ACTION", "SP12", "", "Event log on setpoint released", "#12"}},
    {0x5A0B, 0x7002, {"SP ACTION", "SP12", "", "Event log on any setpoint transition", "#12"}},
    {0x5A0B, 0x7003, {"SP ACTION", "SP12", "", "SP action", "#12"}},
    {0x5A0C, 0x7100, {"SP ACTION", "SP13", "", "Data log", "#1"}},
    {0x5A0C, 0x710F, {"SP ACTION", "SP13", "", "Data log", "#16"}},
    {0x5A0C, 0x7110, {"SP ACTION", "SP13", "", "SP action", "#13"}},
    {0x5A0C, 0x7200, {"SP ACTION", "SP13", "", "Waveform log", "#1"}},
    {0x5A0C, 0x7207, {"SP ACTION", "SP13", "", "Waveform log", "#8"}},
    {0x5A0C, 0x7208, {"SP ACTION", "SP13", "", "SP action", "#13"}},
    {0x5A0D, 0x8000, {"SP ACTION", "SP14", "", "External trigger", "#1"}},
    {0x5A0D, 0x800F, {"SP ACTION", "SP14", "", "External trigger", "#16"}},
    {0x5A0D, 0x8010, {"SP ACTION", "SP14", "", "SP action", "#14"}},
    {0x5A02, 0x1234, {"SP ACTION", "SP3", "", "SP action", "#3"}},
    // A setpoint source is an action even for the operated/released ids.
    {0x5A00, 0xE100, {"SP ACTION", "SP1", "", "SP action", "#1"}},
    {0x5A3F, 0xE23F, {"SP ACTION", "SP64", "", "SP action", "#64"}},
    // ... and for ids that name external events or setup effects.
    {0x5A00, 0x6308, {"SP ACTION", "SP1", "", "SP action", "#1"}},
    {0x5A00, 0xF500, {"SP ACTION", "SP1", "", "SP action", "#1"}},
    // Sources just outside the setpoint range are not setpoints.
    {0x59FF, 0x2000, {"", "", "", "", ""}},
    {0x5A40, 0x2000, {"", "", "", "", ""}},
};

// Rules 3 and 4 and their edges; they come before external events and setup areas.
const ClassifyCase OPERATED_RELEASED_CASES[] = {
    {0x0001, 0xE100, {"SP EVENT", "", "", "SP operated", "#1"}},
    {0x0001, 0xE13F, {"SP EVENT", "", "", "SP operated", "#64"}},
    {0x0001, 0xE0FF, {"", "", "", "", ""}},
    {0x0001, 0xE140, {"", "", "", "", ""}},
    {0x0001, 0xE200, {"SP EVENT", "", "", "SP released", "#1"}},
    {0x0001, 0xE23F, {"SP EVENT", "", "", "SP released", "#64"}},
    {0x0001, 0xE1FF, {"", "", "", "", ""}},
    {0x0001, 0xE240, {"", "", "", "", ""}},
    {0x6300, 0xE105, {"SP EVENT", "", "", "SP operated", "#6"}},
    {0x5B0F, 0xE201, {"SP EVENT", "", "", "SP released", "#2"}},
    {0x5B10, 0xE100, {"SP EVENT", "", "", "SP operated", "#1"}},
};

// Rules 5 and 6: every external event by source and by effect.
const ClassifyCase EXTERNAL_CASES[] = {
    {0x6300, 0x1234, {"EXTERNAL", "Power down", "", "", ""}},
    {0x6308, 0x1234, {"EXTERNAL", "Power up", "", "", ""}},
    {0x6309, 0x0000, {"EXTERNAL", "External reset", "", "", ""}},
    {0x6318, 0xF500, {"EXTERNAL", "IRIG-B signal lost", "", "", ""}},
    {0x6319, 0x1234, {"EXTERNAL", "IRIG-B time unlocked", "", "", ""}},
    {0x631A, 0x1234, {"EXTERNAL", "IRIG-B time locked", "", "", ""}},
    {0x6320, 0x1234, {"EXTERNAL", "SNTP server failed", "", "", ""}},
    {0x6321, 0x1234, {"EXTERNAL", "SNTP server reconnected", "", "", ""}},
    {0x0001, 0x6300, {"EXTERNAL", "Power down", "", "", ""}},
    {0x0001, 0x6308, {"EXTERNAL", "Power up", "", "", ""}},
    {0x0001, 0x6309, {"EXTERNAL", "External reset", "", "", ""}},
    {0x0001, 0x6318, {"EXTERNAL", "IRIG-B signal lost", "", "", ""}},
    {0x0001, 0x6319, {"EXTERNAL", "IRIG-B time unlocked", "", "", ""}},
    {0x0001, 0x631A, {"EXTERNAL", "IRIG-B time locked", "", "", ""}},
    {0x0001, 0x6320, {"EXTERNAL", "SNTP server failed", "", "", ""}},
    {0x0001, 0x6321, {"EXTERNAL", "SNTP server reconnected", "", "", ""}},
    // The source wins over the effect.
    {0x6300, 0x6308, {"EXTERNAL", "Power down", "", "", ""}},
    // An external effect wins over a setup area.
    {0x5B0F, 0x6321, {"EXTERNAL", "SNTP server reconnected", "", "", ""}},
    // Ids between the table's rows are not external events.
    {0x6301, 0x1234, {"", "", "", "", ""}},
    {0x0001, 0x6322, {"", "", "", "", ""}},
};

// Rules 7 and 8: every setup area, with and without an effect text.
const ClassifyCase SETUP_CASES[] = {
    {0x5B0F, 0x1234, {"COMM", "Display setup", "", "Setup change", ""}},
    {0x5B0F, 0xF500, {"COMM", "Display setup", "", "RTC set", ""}},
    {0x5B12, 0x1234, {"COMM", "Assign. registers", "", "Setup change", ""}},
    {0x5B14, 0xF200, {"COMM", "Data Log setup", "", "Setup/Data cleared", ""}},
    {0x5B15, 0x1234, {"COMM", "Memory setup", "", "Setup change", ""}},
    {0x5B1C, 0x0000, {"COMM", "User options", "", "None", ""}},
    {0x5B25, 0xF300, {"COMM", "Net setup", "", "Setup reset", ""}},
    {0x5B35, 0x6A1B, {"COMM", "RSTP setup", "", "Log file cleared", ""}},
    {0x5B10, 0x0400, {"COMM", "Setpoints setup", "", "Setpoint set", "#1"}},
    {0x5B10, 0x03FF, {"COMM", "Setpoints setup", "", "Setpoint set", "#1024"}},
    {0x5B10, 0x0000, {"COMM", "Setpoints setup", "", "Setpoint set", "#1"}},
    {0x5B10, 0xF500, {"COMM", "Setpoints setup", "", "Setpoint set", "#257"}},
    {0x5B0E, 0x1234, {"", "", "", "", ""}},
    {0x5B11, 0x1234, {"", "", "", "", ""}},
    {0x5B36, 0x1234, {"", "", "", "", ""}},
};

// Rules 9 and 10: any other source gets the effect's text, or nothing.
const ClassifyCase EFFECT_ONLY_CASES[] = {
    {0x0001, 0x0000, {"COMM", "", "", "None", ""}},
    {0x0001, 0x6000, {"COMM", "", "", "Total energy registers cleared", ""}},
    {0x0001, 0x6105, {"COMM", "", "", "Harmonic maximum demands cleared", ""}},
    {0x0001, 0x6410, {"COMM", "", "", "Counter cleared", ""}},
    {0xFFFF, 0xF900, {"COMM", "", "", "Device function stopped", ""}},
    {0x0001, 0x1234, {"", "", "", "", ""}},
    {0x0001, 0x6106, {"", "", "", "", ""}},
};

class ClassifyEvent : public ::testing::TestWithParam<ClassifyCase> {};

TEST_P(ClassifyEvent, GivesTheFiveTextsOfTheFirstMatchingRule) {
    const ClassifyCase& c = GetParam();
    EXPECT_EQ(classify_event(c.source, c.effect), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Overrides, ClassifyEvent, ::testing::ValuesIn(OVERRIDE_CASES));
INSTANTIATE_TEST_SUITE_P(SetpointActions, ClassifyEvent,
                         ::testing::ValuesIn(SETPOINT_ACTION_CASES));
INSTANTIATE_TEST_SUITE_P(OperatedReleased, ClassifyEvent,
                         ::testing::ValuesIn(OPERATED_RELEASED_CASES));
INSTANTIATE_TEST_SUITE_P(External, ClassifyEvent, ::testing::ValuesIn(EXTERNAL_CASES));
INSTANTIATE_TEST_SUITE_P(SetupAreas, ClassifyEvent, ::testing::ValuesIn(SETUP_CASES));
INSTANTIATE_TEST_SUITE_P(EffectOnly, ClassifyEvent, ::testing::ValuesIn(EFFECT_ONLY_CASES));

struct EffectCase {
    int32_t effect;
    const char* text;
};

// Every row, each range at both ends, and the ids just outside.
const EffectCase F20_CASES[] = {
    {0x0000, "None"},
    {0x0001, ""},
    {0x5FFF, ""},
    {0x6000, "Total energy registers cleared"},
    {0x6001, ""},
    {0x6100, "All total maximum demands cleared"},
    {0x6101, "Power maximum demands cleared"},
    {0x6102, "Volt/Ampere maximum demands cleared"},
    {0x6103, "Volt maximum demands cleared"},
    {0x6104, "Ampere maximum demands cleared"},
    {0x6105, "Harmonic maximum demands cleared"},
    {0x6106, ""},
    {0x6200, "Billing/TOU registers cleared"},
    {0x6201, ""},
    {0x6300, "Billing/TOU maximum demand registers cleared"},
    {0x6400, "All counters cleared"},
    {0x6401, "Counter cleared"},
    {0x641F, "Counter cleared"},
    {0x6420, ""},
    {0x69FF, ""},
    {0x6A00, "Log file cleared"},
    {0x6A1B, "Log file cleared"},
    {0x6A1C, ""},
    {0x6B05, ""},
    {0x6B06, "Communication counters cleared"},
    {0x6B07, "Switch operation counters cleared"},
    {0x6B08, ""},
    {0xF0FF, ""},
    {0xF100, "Setpoint cleared"},
    {0xF11F, "Setpoint cleared"},
    {0xF120, ""},
    {0xF200, "Setup/Data cleared"},
    {0xF300, "Setup reset"},
    {0xF400, "Setup change"},
    {0xF500, "RTC set"},
    {0xF600, "Device function/option enabled"},
    {0xF700, "Device function/option disabled"},
    {0xF800, "Device function restarted"},
    {0xF900, "Device function stopped"},
    {0xF901, ""},
    {-1, ""},
    {0x10000, ""},
};

TEST(DecodeF20Effect, NamesEveryTableRowAndNothingElse) {
    for (const EffectCase& c : F20_CASES) {
        EXPECT_EQ(decode_f20_effect(c.effect), c.text) << std::hex << "0x" << c.effect;
    }
}

}  // namespace
}  // namespace tandrel
