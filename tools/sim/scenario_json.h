// Scenario files for tandrel-sim: registers, points, setup, clock,
// diagnostics word, logs and faults as one JSON document. Numbers may be
// written as JSON numbers or as "0x..." texts. Errors name the key at fault.
#pragma once

#include <string>

#include "simulator.h"

namespace tandrel_sim {

// The settings a simulator must be built with, read before it exists.
struct ScenarioHead {
    bool has_model = false;
    Model model = Model::EM235;
    SimOptions options;
};

// Parses the document; throws std::runtime_error on a syntax error or a bad value.
ScenarioHead read_scenario_head(const std::string& json_text);
// Applies everything else to a simulator that is not serving yet.
void apply_scenario(const std::string& json_text, Simulator& sim);

// "em133" -> EM133; "em235" and "pm335" -> EM235 (any letter case). Throws otherwise.
Model parse_model(const std::string& name);

}  // namespace tandrel_sim
