// The site's state and its outputs; see site_state.h.
#include "site_state.h"

namespace tandrel_site {

void SiteState::set_meters(const std::vector<MeterState>& meters) {
    std::vector<MeterState> listed;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        std::map<std::string, MeterState> kept;
        order_.clear();
        for (const MeterState& meter : meters) {
            auto known = meters_.find(meter.name);
            kept[meter.name] = known == meters_.end() ? meter : known->second;
            order_.push_back(meter.name);
            listed.push_back(kept[meter.name]);
        }
        meters_.swap(kept);
    }
    for (LiveOutput* output : outputs_) output->site_changed(listed);
}

void SiteState::update(const std::string& name, const std::function<void(MeterState&)>& change) {
    MeterState copy;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto found = meters_.find(name);
        if (found == meters_.end()) return;
        change(found->second);
        copy = found->second;
    }
    for (LiveOutput* output : outputs_) output->meter_changed(copy);
}

std::vector<MeterState> SiteState::snapshot() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<MeterState> meters;
    meters.reserve(order_.size());
    for (const std::string& name : order_) meters.push_back(meters_.at(name));
    return meters;
}

}  // namespace tandrel_site
