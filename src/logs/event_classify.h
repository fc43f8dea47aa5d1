// The vocabulary of the event log: the five texts that name what an event's
// source id and effect id stand for.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace tandrel {

// Element 0 cause, 1 point, 2 state, 3 effect, 4 target; an empty text means
// the element does not apply to the event.
using EventTexts = std::array<std::string, 5>;

// The first matching rule wins: exact overrides, setpoint actions, setpoint
// operated and released, external events by source then by effect, setup
// areas, the setpoints setup, then any effect that has a text of its own.
EventTexts classify_event(int32_t source_id, int32_t effect_id);

// The text of a setup, reset or clear effect, or "" when the id has none.
std::string decode_f20_effect(int32_t effect_id);

}  // namespace tandrel
