// Turns the caller's point list text, or the model's live set, into the
// selection that point reading works through.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/meter_model.h"

namespace tandrel {

struct PointItem {
    std::string text;
    bool quoted = false;
};

// Splits a point list such as `[3072, 0x0C01, "V1"]` into its items. Never
// fails: an empty quoted item is returned as such and rejected later.
std::vector<PointItem> scan_point_list(const std::string& text);

// The point id an item names: a number in any family range, or a quoted name
// of a readable point. Throws the caller's message otherwise.
uint16_t resolve_point_item(const PointItem& item);

// Scans and resolves in text order; the first bad item ends the parse.
std::vector<uint16_t> parse_point_list(const std::string& text);

// The caller's point list as a call takes it: null, a bad item or no item
// at all fails with the caller's message.
std::vector<uint16_t> required_point_list(const char* points);

// The model's live set, ascending.
std::vector<uint16_t> live_points(MeterModel model);

}  // namespace tandrel
