// The meter models by name, as every call receives them. What differs between
// the models beyond their names is in their profiles (meter/model_profile.h).
#pragma once

#include <cstdint>
#include <string>

namespace tandrel {

enum class MeterModel : int32_t { EM133 = 0, EM235 = 1 };

// "em133" -> EM133; "em235" and "pm335" -> EM235, case-insensitive; else throws.
MeterModel parse_meter(const std::string& text);

// The model a meter reporting this model id (identification block) is read
// as: 133 em133, 235 em235, 335 em235. False, model untouched, for any other.
bool model_for_id(uint32_t model_id, MeterModel& model);

// Every accepted name, aliases included: "em133, em235 or pm335".
std::string all_model_names();

// The name every output gives the model: "em133" or "em235".
const char* model_text(MeterModel model);

}  // namespace tandrel
