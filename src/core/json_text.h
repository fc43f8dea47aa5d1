// JSON text is assembled as strings in a fixed member order; these are the
// pieces every writer shares.
#pragma once

#include <string>

#include "core/meter_model.h"

namespace tandrel {

// Makes text safe between the double quotes of a JSON string (no quotes added).
std::string json_escape(const std::string& text);

// Appends the escaped text to out; the allocation-free form for hot loops.
void append_json_escaped(std::string& out, const std::string& text);

// `"meter":"<model>","host":"<escaped host>"`, without braces or commas.
std::string doc_prefix(const std::string& host, MeterModel model);

}  // namespace tandrel
