// What a collection tells whoever runs it while it goes: the CLI's progress
// board and summary, the service's meter states. One interface, so that
// `collect` and `serve` run the same workers and differ only in the observer.
#pragma once

#include <string>

#include "collect_report.h"

namespace tandrel_site {

// Every call but waiting() comes from a worker thread, with no lock of the
// collection held; calls for different slots may run at the same time. A
// slot is one worker, numbered from 0: it reads one meter after the other.
class CollectObserver {
public:
    virtual ~CollectObserver() = default;

    // A meter's reading begins, before its first step.
    virtual void meter_started(int /*slot*/, const SiteMeter& /*meter*/) {}
    // A step of a meter begins: `label` names meter and step
    // ("192.0.2.10:502 u1 datalog_1.csv"); `counted`: it reports records.
    virtual void step_started(int slot, const std::string& label, bool counted) = 0;
    // Records done of the step in hand, of `total` (-1 when unknown).
    virtual void step_progress(int slot, int done, int total) = 0;
    // The meter is done, whether it finished or not.
    virtual void meter_finished(int slot, const MeterReport& report) = 0;
    // From the thread that called collect_site, about every 100 ms until the
    // workers end: where a display redraws, or a host raises the stop flag.
    virtual void waiting() = 0;
};

}  // namespace tandrel_site
