// Event records: the transfer never hands over fewer than 8 words, but a
// missing word still reads as 0 here rather than past the end.
#include "logs/event_decode.h"

#include <utility>

#include "logs/event_classify.h"
#include "modbus/word_pair.h"

namespace tandrel {
namespace {

uint16_t word_at(const std::vector<uint16_t>& words, size_t index) {
    return index < words.size() ? words[index] : 0;
}

uint32_t low_first_u32(const std::vector<uint16_t>& words, size_t low_index) {
    return low_word_first(word_at(words, low_index), word_at(words, low_index + 1));
}

}  // namespace

uint16_t event_sequence(const std::vector<uint16_t>& words) { return word_at(words, 1); }

uint32_t event_seconds(const std::vector<uint16_t>& words) { return low_first_u32(words, 2); }

uint32_t event_microseconds(const std::vector<uint16_t>& words) {
    return low_first_u32(words, 4);
}

EventFields decode_event(const std::vector<uint16_t>& words) {
    EventFields fields;
    fields.event_no = word_at(words, 6);
    fields.source_id = word_at(words, 7);
    if (words.size() > 8) fields.effect_id = words[8];
    if (words.size() > 11) fields.value_triggered = static_cast<int32_t>(low_first_u32(words, 10));
    EventTexts texts = classify_event(fields.source_id, fields.effect_id);
    fields.cause = std::move(texts[0]);
    fields.point = std::move(texts[1]);
    fields.state = std::move(texts[2]);
    fields.effect = std::move(texts[3]);
    fields.target = std::move(texts[4]);
    return fields;
}

}  // namespace tandrel
