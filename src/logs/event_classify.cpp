// Event classification over constant tables. The maps are function-local
// statics, so each is built once, by the first call that needs it, under the
// language's thread-safe initialisation, and is read-only afterwards.
#include "logs/event_classify.h"

#include <map>
#include <utility>

namespace tandrel {
namespace {

struct EffectRange {
    int32_t first;
    int32_t last;
    const char* text;
};

const EffectRange F20_EFFECTS[] = {
    {0x0000, 0x0000, "None"},
    {0x6000, 0x6000, "Total energy registers cleared"},
    {0x6100, 0x6100, "All total maximum demands cleared"},
    {0x6101, 0x6101, "Power maximum demands cleared"},
    {0x6102, 0x6102, "Volt/Ampere maximum demands cleared"},
    {0x6103, 0x6103, "Volt maximum demands cleared"},
    {0x6104, 0x6104, "Ampere maximum demands cleared"},
    {0x6105, 0x6105, "Harmonic maximum demands cleared"},
    {0x6200, 0x6200, "Billing/TOU registers cleared"},
    {0x6300, 0x6300, "Billing/TOU maximum demand registers cleared"},
    {0x6400, 0x6400, "All counters cleared"},
    {0x6401, 0x641F, "Counter cleared"},
    {0x6A00, 0x6A1B, "Log file cleared"},
    {0x6B06, 0x6B06, "Communication counters cleared"},
    {0x6B07, 0x6B07, "Switch operation counters cleared"},
    {0xF100, 0xF11F, "Setpoint cleared"},
    {0xF200, 0xF200, "Setup/Data cleared"},
    {0xF300, 0xF300, "Setup reset"},
    {0xF400, 0xF400, "Setup change"},
    {0xF500, 0xF500, "RTC set"},
    {0xF600, 0xF600, "Device function/option enabled"},
    {0xF700, 0xF700, "Device function/option disabled"},
    {0xF800, 0xF800, "Device function restarted"},
    {0xF900, 0xF900, "Device function stopped"},
};

// How the number in a setpoint action's target is taken.
enum class TargetFrom { MaskedPlusOne, Masked, SetpointNumber };

struct SetpointAction {
    int32_t first;
    int32_t last;
    const char* text;
    TargetFrom target;
    int32_t mask;
};

const SetpointAction SETPOINT_ACTIONS[] = {
    {0x2000, 0x203F, "Set user event flag", TargetFrom::MaskedPlusOne, 0x3F},
    {0x2100, 0x213F, "Clear user event flag", TargetFrom::MaskedPlusOne, 0x3F},
    {0x3000, 0x303F, "Operate relay RO", TargetFrom::MaskedPlusOne, 0x3F},
    {0x3100, 0x313F, "Release latched relay RO", TargetFrom::MaskedPlusOne, 0x3F},
    {0x3700, 0x373F, "Unblock relay RO", TargetFrom::MaskedPlusOne, 0x3F},
    {0x3800, 0x3807, "Unblock direct control port", TargetFrom::Masked, 0x0F},
    {0x3900, 0x3901, "Close breaker XCBR", TargetFrom::MaskedPlusOne, 0x1F},
    {0x3902, 0x390F, "Close switch XSWI", TargetFrom::Masked, 0x0F},
    {0x3A00, 0x3A01, "Open breaker XCBR", TargetFrom::MaskedPlusOne, 0x1F},
    {0x3A02, 0x3A0F, "Open switch XSWI", TargetFrom::Masked, 0x0F},
    {0x4000, 0x401F, "Increment counter", TargetFrom::MaskedPlusOne, 0x1F},
    {0x4100, 0x411F, "Decrement counter", TargetFrom::MaskedPlusOne, 0x1F},
    {0x4200, 0x421F, "Clear counter", TargetFrom::MaskedPlusOne, 0x1F},
    {0x5100, 0x5100, "Send event notification", TargetFrom::SetpointNumber, 0},
    {0x5300, 0x5300, "Remote control", TargetFrom::SetpointNumber, 0},
    {0x6000, 0x6000, "Reset total energy registers", TargetFrom::SetpointNumber, 0},
    {0x6100, 0x6100, "Reset total maximum demand registers", TargetFrom::SetpointNumber, 0},
    {0x6200, 0x6200, "Reset billing summary and TOU energy", TargetFrom::SetpointNumber, 0},
    {0x6300, 0x6300, "Reset billing summary and TOU maximum demands",
     TargetFrom::SetpointNumber, 0},
    {0x6400, 0x6400, "Clear all counters", TargetFrom::SetpointNumber, 0},
    {0x6500, 0x6500, "Clear Min/Max log registers", TargetFrom::SetpointNumber, 0},
    {0x7000, 0x7000, "Event log on setpoint operated", TargetFrom::SetpointNumber, 0},
    {0x7001, 0x7001, "Event log on setpoint released", TargetFrom::SetpointNumber, 0},
    {0x7002, 0x7002, "Event log on any setpoint transition", TargetFrom::SetpointNumber, 0},
    {0x7100, 0x710F, "Data log", TargetFrom::MaskedPlusOne, 0x0F},
    {0x7200, 0x7207, "Waveform log", TargetFrom::MaskedPlusOne, 0x07},
    {0x8000, 0x800F, "External trigger", TargetFrom::MaskedPlusOne, 0x0F},
};

using IdPair = std::pair<int32_t, int32_t>;

const std::map<IdPair, EventTexts>& overrides() {
    static const std::map<IdPair, EventTexts> TABLE = {
        {{0x031D, 0xE100}, {"SP EVENT", "EVENT FLAG 30", "ON", "SP operated", "#1"}},
        {{0x5A00, 0x2000}, {"SP ACTION", "SP1", "", "Set event flag", "#1"}},
        {{0x5A00, 0x2001}, {"SP ACTION", "SP1", "", "Set event flag", "#2"}},
        {{0x0080, 0xE103}, {"SP EVENT", "SP1", "OFF", "SP operated", "#4"}},
        {{0x0302, 0xE103}, {"SP EVENT", "EVENT FLAG 3", "ON", "SP operated", "#4"}},
        {{0x0302, 0xE102}, {"SP EVENT", "EVENT FLAG 3", "ON", "SP operated", "#3"}},
        {{0x0500, 0xE102}, {"SP EVENT", "TIMER 1", "ON", "SP operated", "#3"}},
        {{0x0303, 0xE105}, {"SP EVENT", "EVENT FLAG 4", "ON", "SP operated", "#6"}},
        {{0x5A05, 0x2103}, {"SP ACTION", "SP6", "", "Clear event flag", "#4"}},
    };
    return TABLE;
}

const std::map<int32_t, std::string>& ext_points() {
    static const std::map<int32_t, std::string> TABLE = {
        {0x6300, "Power down"},
        {0x6308, "Power up"},
        {0x6309, "External reset"},
        {0x6318, "IRIG-B signal lost"},
        {0x6319, "IRIG-B time unlocked"},
        {0x631A, "IRIG-B time locked"},
        {0x6320, "SNTP server failed"},
        {0x6321, "SNTP server reconnected"},
    };
    return TABLE;
}

const std::map<int32_t, std::string>& comm_points() {
    static const std::map<int32_t, std::string> TABLE = {
        {0x5B0F, "Display setup"},
        {0x5B12, "Assign. registers"},
        {0x5B14, "Data Log setup"},
        {0x5B15, "Memory setup"},
        {0x5B1C, "User options"},
        {0x5B25, "Net setup"},
        {0x5B35, "RSTP setup"},
    };
    return TABLE;
}

bool in_range(int32_t value, int32_t first, int32_t last) {
    return value >= first && value <= last;
}

std::string target_text(int32_t number) { return "#" + std::to_string(number); }

int32_t action_number(const SetpointAction& action, int32_t effect, int32_t sp_number) {
    switch (action.target) {
        case TargetFrom::MaskedPlusOne:
            return (effect & action.mask) + 1;
        case TargetFrom::Masked:
            return effect & action.mask;
        case TargetFrom::SetpointNumber:
            return sp_number;
    }
    return sp_number;
}

EventTexts setpoint_action(int32_t source, int32_t effect) {
    const int32_t sp_number = (source & 0x3F) + 1;
    const std::string point = "SP" + std::to_string(sp_number);
    for (const SetpointAction& action : SETPOINT_ACTIONS) {
        if (in_range(effect, action.first, action.last)) {
            return {"SP ACTION", point, "", action.text,
                    target_text(action_number(action, effect, sp_number))};
        }
    }
    return {"SP ACTION", point, "", "SP action", target_text(sp_number)};
}

// Rules 5 and 6: an external or system event, named by its source or else by its effect.
bool external_event(int32_t source, int32_t effect, EventTexts& texts) {
    const auto& points = ext_points();
    auto found = points.find(source);
    if (found == points.end()) found = points.find(effect);
    if (found == points.end()) return false;
    texts = {"EXTERNAL", found->second, "", "", ""};
    return true;
}

}  // namespace

std::string decode_f20_effect(int32_t effect_id) {
    for (const EffectRange& range : F20_EFFECTS) {
        if (in_range(effect_id, range.first, range.last)) return range.text;
    }
    return "";
}

EventTexts classify_event(int32_t source_id, int32_t effect_id) {
    const auto override_row = overrides().find({source_id, effect_id});
    if (override_row != overrides().end()) return override_row->second;
    if (in_range(source_id, 0x5A00, 0x5A3F)) return setpoint_action(source_id, effect_id);
    if (in_range(effect_id, 0xE100, 0xE13F)) {
        return {"SP EVENT", "", "", "SP operated", target_text((effect_id & 0x3F) + 1)};
    }
    if (in_range(effect_id, 0xE200, 0xE23F)) {
        return {"SP EVENT", "", "", "SP released", target_text((effect_id & 0x3F) + 1)};
    }
    EventTexts texts;
    if (external_event(source_id, effect_id, texts)) return texts;
    const auto area = comm_points().find(source_id);
    if (area != comm_points().end()) {
        std::string effect = decode_f20_effect(effect_id);
        if (effect.empty()) effect = "Setup change";
        return {"COMM", area->second, "", effect, ""};
    }
    if (source_id == 0x5B10) {
        return {"COMM", "Setpoints setup", "", "Setpoint set",
                target_text((effect_id & 0x3FF) + 1)};
    }
    std::string effect = decode_f20_effect(effect_id);
    if (!effect.empty()) return {"COMM", "", "", effect, ""};
    return texts;
}

}  // namespace tandrel
