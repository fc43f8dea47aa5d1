// The meter models the tool knows, in one list: the names a command line and
// a site file accept, the model ids the meters report in their identity, and
// which names share a register map (a pm335 reads as an em235).
#pragma once

#include <string>
#include <vector>

namespace tandrel_site {

// "em133", "em235", "pm335", for CLI11's choice of --meter.
const std::vector<std::string>& model_names();

// "em133, em235 or pm335", for messages that list what is accepted.
std::string model_names_text();

// The name in lower case when it is a known model, else "".
std::string known_model(const std::string& name);

// The model whose identity reports `id` (133, 235, 335), else "".
std::string model_for_id(long id);

// True when both known models are read through the same register map.
bool read_alike(const std::string& a, const std::string& b);

}  // namespace tandrel_site
