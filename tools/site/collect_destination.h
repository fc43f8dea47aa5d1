// Where a collection puts what it reads from a meter: CSV folders, a store.
// Each destination is one class behind this interface, so that a new one is
// a file and a line where collect_site lists them. A worker holds one of
// each for all the meters it reads, and calls them in this order for each:
//   begin_meter, take_identity, take_directory, read_log for every log,
//   end_meter (also when the meter failed part way).
// A call throws std::runtime_error with the one-line message of what failed.
#pragma once

#include <atomic>
#include <string>

#include "batches.h"
#include "collect_observer.h"
#include "collect_report.h"
#include "meter_session.h"
#include "site_file.h"

namespace tandrel_site {

// How a log's transfer reports progress and learns it should stop.
struct StepContext {
    CollectObserver& observer;
    int slot;
    const std::atomic<bool>& stop;
};

// The outcome of one log's transfer: the library's status (records, or -1
// and -2 with the message).
struct StepResult {
    int status = 0;
    std::string message;
};

class CollectDestination {
public:
    virtual ~CollectDestination() = default;

    // What the meter's identity and log directory are called while they are
    // read (the first destination names them).
    virtual std::string identity_name() const = 0;
    virtual std::string directory_name() const = 0;
    // What a log's transfer into this destination is called.
    virtual std::string log_name(const LogEntry& log) const = 0;

    virtual void begin_meter(const SiteMeter& meter) = 0;
    // The documents as the session read them.
    virtual void take_identity(const std::string& device_info, MeterReport& report) = 0;
    virtual void take_directory(const std::string& logs_document, MeterReport& report) = 0;
    // Reads one log through the session into the destination.
    virtual StepResult read_log(MeterSession& session, const LogEntry& log, StepContext& step,
                                MeterReport& report) = 0;
    // The meter is done; report.status says how. Sets what the report tells
    // of this destination; never throws for a meter that failed.
    virtual void end_meter(MeterReport& report) = 0;
};

}  // namespace tandrel_site
