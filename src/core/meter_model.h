// The meter models by name, as every call receives them. What differs between
// the models beyond their names is in their profiles (meter/model_profile.h).
#pragma once

#include <cstdint>
#include <string>

namespace tandrel {

enum class MeterModel : int32_t { EM133 = 0, EM235 = 1 };

// "em133" -> EM133; "em235" and "pm335" -> EM235, case-insensitive; else throws.
MeterModel parse_meter(const std::string& text);

// The name every output gives the model: "em133" or "em235".
const char* model_text(MeterModel model);

}  // namespace tandrel
