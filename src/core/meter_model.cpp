// Model names: one table, aliases included; the first name of a model is the
// one every output uses.
#include "core/meter_model.h"

#include <cctype>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace tandrel {
namespace {

struct ModelName {
    const char* name;
    MeterModel model;
};

// A pm335 reads exactly as an em235.
constexpr ModelName MODEL_NAMES[] = {
    {"em133", MeterModel::EM133},
    {"em235", MeterModel::EM235},
    {"pm335", MeterModel::EM235},
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

const char* model_text(MeterModel model) {
    for (const ModelName& m : MODEL_NAMES) {
        if (m.model == model) return m.name;
    }
    return MODEL_NAMES[0].name;  // unreachable: every model has a name
}

}  // namespace tandrel
