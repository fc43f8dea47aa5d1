// Model names: one table, aliases included; the first name of a model is the
// one every output uses.
#include "core/meter_model.h"

#include <cctype>
#include <cstring>
#include <iterator>
#include <stdexcept>
#include <vector>

namespace tandrel {
namespace {

struct ModelName {
    const char* name;
    MeterModel model;
    uint32_t model_id;  // what the meter's identification block reports
};

// A pm335 reads exactly as an em235.
constexpr ModelName MODEL_NAMES[] = {
    {"em133", MeterModel::EM133, 133},
    {"em235", MeterModel::EM235, 235},
    {"pm335", MeterModel::EM235, 335},
};

// Each model once, by its first name: "a or b", "a, b or c".
std::string expected_models() {
    std::vector<const char*> names;
    for (const ModelName& m : MODEL_NAMES) {
        if (std::strcmp(model_text(m.model), m.name) == 0) names.push_back(m.name);
    }
    std::string text = names.front();
    for (size_t i = 1; i < names.size(); ++i) {
        text += i + 1 == names.size() ? " or " : ", ";
        text += names[i];
    }
    return text;
}

}  // namespace

MeterModel parse_meter(const std::string& text) {
    std::string lower = text;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const ModelName& m : MODEL_NAMES) {
        if (lower == m.name) return m.model;
    }
    throw std::runtime_error("Unknown meter model '" + text + "' (expected " + expected_models() +
                             ")");
}

bool model_for_id(uint32_t model_id, MeterModel& model) {
    for (const ModelName& m : MODEL_NAMES) {
        if (m.model_id == model_id) {
            model = m.model;
            return true;
        }
    }
    return false;
}

std::string all_model_names() {
    std::string text;
    for (size_t i = 0; i < std::size(MODEL_NAMES); ++i) {
        if (i > 0) text += i + 1 == std::size(MODEL_NAMES) ? " or " : ", ";
        text += MODEL_NAMES[i].name;
    }
    return text;
}

const char* model_text(MeterModel model) {
    for (const ModelName& m : MODEL_NAMES) {
        if (m.model == model) return m.name;
    }
    return MODEL_NAMES[0].name;  // unreachable: every model has a name
}

}  // namespace tandrel
