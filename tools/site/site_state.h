// What the service knows of the site's meters, shared by the workers that
// poll them and the pages that show them: a thread-safe map of MeterState by
// name, which tells every LiveOutput of each change.
#pragma once

#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "live_output.h"
#include "meter_state.h"

namespace tandrel_site {

class SiteState {
public:
    // Outputs are added before the first set_meters and outlive the state.
    void add_output(LiveOutput& output) { outputs_.push_back(&output); }

    // The site's meters, in the site file's order: a meter already known by
    // its name keeps what its polls learnt; the others are forgotten. Every
    // output hears of the new list.
    void set_meters(const std::vector<MeterState>& meters);

    // Applies `change` to the meter named `name`, then hands a copy to every
    // output, outside the lock. Nothing happens for a meter no longer listed.
    void update(const std::string& name, const std::function<void(MeterState&)>& change);

    std::vector<MeterState> snapshot() const;

private:
    std::vector<LiveOutput*> outputs_;
    mutable std::mutex mutex_;
    std::vector<std::string> order_;  // the site file's order
    std::map<std::string, MeterState> meters_;
};

}  // namespace tandrel_site
