// The Prometheus text exposition (format 0.0.4) of the site's state: the live
// values of every meter in base units, each meter's polls and collections,
// and the process's own figures. Pure: the state and the process's figures
// come in as values.
#pragma once

#include <string>
#include <vector>

#include "meter_state.h"
#include "process_stats.h"

namespace tandrel_site {

// What GET /metrics answers; with `collections`, each meter's history
// collections too (the service collects into a store).
std::string render_exposition(const std::vector<MeterState>& meters, const ProcessStats& process,
                              bool collections = false);

// The Content-Type of that text.
extern const char* const EXPOSITION_CONTENT_TYPE;

}  // namespace tandrel_site
