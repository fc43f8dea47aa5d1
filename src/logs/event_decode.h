// One event-log record split into its fields and classified.
//
// Record layout (16-bit words, 32-bit values low word first):
//   0 flags, 1 sequence number, 2-3 seconds since 1970 (UTC), 4-5 microseconds,
//   6 event number, 7 source id, 8 effect id, 9 unused, 10-11 value at trigger
//   time (signed).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tandrel {

struct EventFields {
    int32_t event_no = 0;
    int32_t source_id = 0;
    int32_t effect_id = 0;        // 0 when the record has no word 8
    int32_t value_triggered = 0;  // 0 when the record has no words 10-11
    std::string cause;
    std::string point;
    std::string state;
    std::string effect;
    std::string target;
};

EventFields decode_event(const std::vector<uint16_t>& words);

// Where both the JSON and the CSV writers find the record's own number and time.
uint16_t event_sequence(const std::vector<uint16_t>& words);
uint32_t event_seconds(const std::vector<uint16_t>& words);
uint32_t event_microseconds(const std::vector<uint16_t>& words);

}  // namespace tandrel
