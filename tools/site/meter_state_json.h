// The site's meters as one JSON document, as the status page's /api/state
// serves it: what each meter is, whether and when it answered, its readings
// and its last history collection. Times are record times (UTC, milliseconds)
// or null for never.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "meter_state.h"

namespace tandrel_site {

// {"time":"...","meters":[{"name":...,"readings":[...],"collection":null},...]}
// with `now_ms` as its time.
std::string meter_states_json(const std::vector<MeterState>& meters, std::int64_t now_ms);

}  // namespace tandrel_site
