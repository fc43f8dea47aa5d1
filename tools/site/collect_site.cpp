// The workers that read a site's meters side by side, and the steps of one meter.
#include "collect_site.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <system_error>
#include <thread>

#include "csv_folder_destination.h"
#include "library_json.h"
#include "meter_session.h"
#include "poll_plan.h"
#include "store.h"
#include "store_destination.h"

namespace tandrel_site {
namespace {

namespace fs = std::filesystem;

constexpr auto WAIT_STEP = std::chrono::milliseconds(100);

using Destinations = std::vector<std::unique_ptr<CollectDestination>>;

// One meter being read by the worker in `slot`.
struct MeterRead {
    MeterTarget target;
    MeterSession session;  // every file of the meter is read through it
    Destinations& destinations;
    CollectObserver& observer;
    const std::atomic<bool>& stop;
    int slot;
    std::string label;  // "192.0.2.10:502 u1", the start of its progress lines
    std::string step;   // the step in hand
    MeterReport report;
};

// Records why the meter stopped; returns false so that the caller stops too.
bool fail(MeterRead& read, int status, const std::string& message) {
    read.report.status = status == -2 ? MeterStatus::Cancelled : MeterStatus::Failed;
    read.report.failed_file = read.step;
    read.report.message = message;
    return false;
}

bool go_on(MeterRead& read) {
    if (!read.stop) return true;
    read.step.clear();
    return fail(read, -2, "Cancelled by caller");
}

void begin_step(MeterRead& read, const std::string& name, bool counted) {
    read.step = name;
    read.observer.step_started(read.slot, read.label + " " + name, counted);
}

// The session's open reads the identity, and learns or checks the model.
bool read_identity(MeterRead& read) {
    begin_step(read, read.destinations.front()->identity_name(), false);
    CallResult result = read.session.open(read.target);
    if (!read.target.check_model) read.report.model = read.target.meter;
    if (result.status < 0) return fail(read, result.status, result.error);
    for (auto& destination : read.destinations) destination->take_identity(result.text, read.report);
    return true;
}

bool read_directory(MeterRead& read, std::string& directory) {
    begin_step(read, read.destinations.front()->directory_name(), false);
    CallResult result = read.session.fetch(tandrel_session_list_logs);
    if (result.status < 0) return fail(read, result.status, result.error);
    for (auto& destination : read.destinations)
        destination->take_directory(result.text, read.report);
    directory = std::move(result.text);
    return true;
}

bool read_logs(MeterRead& read, const std::string& directory) {
    StepContext context{read.observer, read.slot, read.stop};
    for (const LogEntry& log : log_entries(directory)) {
        for (auto& destination : read.destinations) {
            if (!go_on(read)) return false;
            begin_step(read, destination->log_name(log), true);
            StepResult result = destination->read_log(read.session, log, context, read.report);
            if (result.status < 0) return fail(read, result.status, result.message);
        }
    }
    return true;
}

void run_steps(MeterRead& read) {
    std::string directory;
    try {
        if (go_on(read) && read_identity(read) && go_on(read) && read_directory(read, directory) &&
            read_logs(read, directory))
            read.report.status = MeterStatus::Ok;
    } catch (const std::exception& e) {
        fail(read, -1, e.what());
    }
}

MeterReport collect_meter(const SiteMeter& meter, const MeterTarget& target,
                          Destinations& destinations, CollectObserver& observer,
                          const std::atomic<bool>& stop, int slot) {
    auto start = std::chrono::steady_clock::now();
    observer.meter_started(slot, meter);
    MeterRead read{target, {}, destinations, observer, stop, slot,
                   target.address + " u" + std::to_string(meter.unit), "", {}};
    read.report.meter = meter;
    read.report.model = meter.model;
    try {
        for (auto& destination : destinations) destination->begin_meter(meter);
        run_steps(read);
    } catch (const std::exception& e) {  // a destination could not be set up
        fail(read, -1, e.what());
    }
    for (auto& destination : destinations) destination->end_meter(read.report);
    read.report.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return read.report;
}

// What each meter's session opens: a connection of its own, or the one its
// polls use.
std::vector<MeterTarget> meter_targets(const std::vector<SiteMeter>& meters,
                                       const CollectOptions& options) {
    std::vector<MeterTarget> targets;
    if (options.per_host > 0) {
        for (PolledMeter& polled : poll_plan(meters, options.per_host, options.timeout_ms))
            targets.push_back(std::move(polled.target));
        return targets;
    }
    for (const SiteMeter& meter : meters)
        targets.push_back({meter.host, meter.model,
                           options_text(meter.port, meter.unit, options.timeout_ms),
                           meter_endpoint(meter), !meter.force_model});
    return targets;
}

// The destinations of one worker: each worker writes through a store of its own.
Destinations make_destinations(const CollectOptions& options) {
    Destinations destinations;
    if (!options.out_dir.empty())
        destinations.push_back(std::make_unique<CsvFolderDestination>(options.out_dir));
    if (!options.db_target.empty())
        destinations.push_back(std::make_unique<StoreDestination>(open_store(options.db_target)));
    if (destinations.empty()) throw std::runtime_error("Nowhere to collect into: no folder, no store");
    return destinations;
}

void make_out_dir(const std::string& out_dir) {
    if (out_dir.empty()) return;
    std::error_code ec;
    fs::create_directories(out_dir, ec);
    if (ec) throw std::runtime_error("Cannot create directory " + out_dir + ": " + ec.message());
}

std::vector<MeterReport> initial_reports(const std::vector<SiteMeter>& meters,
                                         const CollectOptions& options) {
    std::vector<MeterReport> reports(meters.size());
    for (size_t i = 0; i < meters.size(); ++i) {
        reports[i].meter = meters[i];
        reports[i].model = meters[i].model;
        std::error_code ignored;  // a meter that never starts keeps what it had
        if (!options.out_dir.empty() &&
            fs::exists(fs::path(options.out_dir) / meter_dir_name(meters[i]), ignored))
            reports[i].folder = FolderState::Previous;
    }
    return reports;
}

}  // namespace

std::vector<MeterReport> collect_site(const SiteFile& site, const CollectOptions& options,
                                      CollectObserver& observer, std::atomic<bool>& stop) {
    const std::vector<SiteMeter>& meters = site.meters;
    make_out_dir(options.out_dir);
    if (meters.empty()) return {};
    size_t jobs = std::min(static_cast<size_t>(std::max(options.jobs, 1)), meters.size());
    std::vector<Destinations> slots;
    for (size_t slot = 0; slot < jobs; ++slot) slots.push_back(make_destinations(options));
    std::vector<MeterReport> reports = initial_reports(meters, options);
    const std::vector<MeterTarget> targets = meter_targets(meters, options);
    std::atomic<size_t> next{0};
    std::atomic<int> running{0};
    auto work = [&](int slot) {
        for (size_t i; !stop && (i = next++) < meters.size();) {
            reports[i] = collect_meter(meters[i], targets[i], slots[slot], observer, stop, slot);
            observer.meter_finished(slot, reports[i]);
        }
        --running;
    };
    std::vector<std::thread> workers;
    for (size_t slot = 0; slot < jobs; ++slot) {
        ++running;
        try {
            workers.emplace_back(work, static_cast<int>(slot));
        } catch (const std::system_error&) {  // fewer threads than asked: the others share the work
            --running;
            break;
        }
    }
    if (workers.empty()) throw std::runtime_error("Cannot start a thread to read the meters");
    while (running > 0) {
        observer.waiting();
        std::this_thread::sleep_for(WAIT_STEP);
    }
    for (auto& worker : workers) worker.join();
    return reports;
}

}  // namespace tandrel_site
