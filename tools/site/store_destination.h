// The destination of `collect --db TARGET`: each meter as its model and
// serial saw it this run, its log directory, and every data-log record and
// event the store does not hold yet. A log is streamed from the meter and
// stored in batches, each one transaction, so that a run that stops at any
// moment leaves whole batches and the next run stores the rest.
#pragma once

#include <memory>

#include "collect_destination.h"
#include "store.h"

namespace tandrel_site {

class StoreDestination : public CollectDestination {
public:
    explicit StoreDestination(std::unique_ptr<Store> store) : store_(std::move(store)) {}

    std::string identity_name() const override { return "identity"; }
    std::string directory_name() const override { return "log directory"; }
    std::string log_name(const LogEntry& log) const override;

    void begin_meter(const SiteMeter& meter) override { meter_ = meter; }
    void take_identity(const std::string& device_info, MeterReport& report) override;
    void take_directory(const std::string&, MeterReport&) override {}
    StepResult read_log(MeterSession& session, const LogEntry& log, StepContext& step,
                        MeterReport& report) override;
    void end_meter(MeterReport&) override {}

private:
    std::unique_ptr<Store> store_;
    SiteMeter meter_;
    MeterRun run_;
};

}  // namespace tandrel_site
