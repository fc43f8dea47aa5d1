// The service's status page: "/" a plain HTML page, served from the binary,
// whose few lines of script fetch "/api/state" every few seconds and show
// each meter, whether and when it answered, its main values and its last
// history collection.
#pragma once

#include <functional>
#include <vector>

#include "http_route.h"
#include "meter_state.h"

namespace tandrel_site {

// The meters as the service knows them at the moment of the call; called
// from the listener's threads.
using StateSnapshot = std::function<std::vector<MeterState>()>;

std::vector<HttpRoute> status_page_routes(StateSnapshot snapshot);

}  // namespace tandrel_site
