// The one table of models behind every model name and id the tool handles.
#include "models.h"

#include <cctype>

namespace tandrel_site {
namespace {

struct Model {
    const char* name;
    long id;              // the model id of the meter's identification block
    const char* reads_as; // the register map the library applies
};

const std::vector<Model>& models() {
    static const std::vector<Model> MODELS = {
        {"em133", 133, "em133"},
        {"em235", 235, "em235"},
        {"pm335", 335, "em235"},
    };
    return MODELS;
}

const Model* find(const std::string& name) {
    std::string lower;
    for (char c : name) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const Model& model : models())
        if (lower == model.name) return &model;
    return nullptr;
}

}  // namespace

const std::vector<std::string>& model_names() {
    static const std::vector<std::string> NAMES = [] {
        std::vector<std::string> names;
        for (const Model& model : models()) names.push_back(model.name);
        return names;
    }();
    return NAMES;
}

std::string model_names_text() {
    std::string text;
    const std::vector<std::string>& names = model_names();
    for (size_t i = 0; i < names.size(); ++i)
        text += (i == 0 ? "" : i + 1 == names.size() ? " or " : ", ") + names[i];
    return text;
}

std::string known_model(const std::string& name) {
    const Model* model = find(name);
    return model ? model->name : "";
}

std::string model_for_id(long id) {
    for (const Model& model : models())
        if (model.id == id) return model.name;
    return "";
}

bool read_alike(const std::string& a, const std::string& b) {
    const Model* first = find(a);
    const Model* second = find(b);
    return first && second && std::string(first->reads_as) == second->reads_as;
}

}  // namespace tandrel_site
