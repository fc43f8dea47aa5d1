// What a freshly started simulated meter holds: identification, setup,
// data logs and an event log whose source and effect ids walk through every
// kind of event the meters report.
#pragma once

#include <cstdint>
#include <map>

#include "register_map.h"
#include "simulator.h"

namespace tandrel_sim {

Identity default_identity(Model model);
void define_identity(RegisterMap& regs, const Identity& id);

// Transformer ratio, resolution, energy decimals, billing summary units and,
// on the EM133, the clock registers and the clock parameter register.
void define_setup(RegisterMap& regs, Model model);

// Data logs 1-3 (and a 16-column log 4 on the EM235) ending at end_time.
std::map<int, DataLogSetup> default_datalogs(Model model, std::uint32_t end_time);
EventLogSetup default_eventlog(std::uint32_t end_time);

}  // namespace tandrel_sim
