// The model a meter's identity names, checked against the one given.
#include "model_choice.h"

#include <cstdlib>
#include <stdexcept>

#include "json_value.h"
#include "models.h"

namespace tandrel_site {

long long model_id_of(const std::string& device_info) {
    // A copy: the parsed document is a temporary that ends with this statement.
    std::string text = parse_json(device_info)["model_id"].str();
    char* end = nullptr;
    long long id = std::strtoll(text.c_str(), &end, 10);
    return text.empty() || *end != '\0' ? -1 : id;
}

std::string choose_model(const std::string& given, long long reported_id,
                         const std::string& address) {
    std::string reported = model_for_id(reported_id);
    std::string what = "the meter at " + address + " reports model id " + std::to_string(reported_id);
    if (given.empty()) {
        if (reported.empty()) throw std::runtime_error(what + ", which is none of " + model_names_text());
        return reported;
    }
    if (!read_alike(given, reported))
        throw std::runtime_error(what + " (" +
                                 (reported.empty() ? "none of " + model_names_text() : reported) +
                                 "), not " + given);
    return known_model(given);
}

}  // namespace tandrel_site
