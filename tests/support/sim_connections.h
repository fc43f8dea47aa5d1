// Whether a simulated meter has seen every client connection close: the
// check that a call closed its socket on every path.
#pragma once

#include <chrono>
#include <thread>

#include "sim/simulator.h"

namespace tandrel::testing {

// Polled for about 4 s, so that a slow machine is not taken for a failure.
inline bool connections_closed(const tandrel_sim::Simulator& sim) {
    for (int i = 0; i < 400 && sim.open_connections() != 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return sim.open_connections() == 0;
}

}  // namespace tandrel::testing
