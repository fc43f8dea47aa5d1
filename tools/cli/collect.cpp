// One meter's files, written whole or not at all, and the workers that read
// the meters of a site side by side.
#include "collect.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <exception>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <system_error>
#include <thread>

#include "library_call.h"
#include "log_transfer.h"
#include "meter_session.h"
#include "platform.h"
#include "tandrel.h"

namespace tandrel_cli {
namespace {

namespace fs = std::filesystem;

constexpr auto DISPLAY_EVERY = std::chrono::milliseconds(100);

struct MeterJob {
    Target target;
    MeterSession session;  // every file of the meter is read through it
    fs::path dir;
    std::string label;  // "192.0.2.10:502 u1", the start of its progress lines
    ProgressBoard& board;
    int slot;
    MeterReport report;
};

struct ExportProgress {
    ProgressBoard& board;
    int slot;
};

int TANDREL_CALL on_export_progress(int done, int total, void* user) {
    auto& progress = *static_cast<ExportProgress*>(user);
    progress.board.update(progress.slot, done, total);
    return interrupt_requested() ? 1 : 0;
}

// Records why the meter stopped; returns false so that the caller stops too.
bool stop(MeterJob& job, const std::string& file, int status, const std::string& message) {
    job.report.status = status == -2 ? MeterStatus::Cancelled : MeterStatus::Failed;
    job.report.failed_file = file;
    job.report.message = message;
    return false;
}

fs::path part_of(const fs::path& path) { return fs::path(path.string() + ".part"); }

void remove_quietly(const fs::path& path) {
    std::error_code ignored;
    fs::remove(path, ignored);
}

// Gives a complete part its name; the file it replaces is never seen half-written.
bool publish(MeterJob& job, const std::string& name, int records) {
    fs::path path = job.dir / name;
    std::error_code ec;
    fs::rename(part_of(path), path, ec);
    if (ec) {
        remove_quietly(part_of(path));
        return stop(job, name, -1, "Cannot rename " + part_of(path).string() + ": " + ec.message());
    }
    job.report.files.push_back({name, records});
    return true;
}

// `read` runs after the progress line names the file.
bool save_document(MeterJob& job, const std::string& name,
                   const std::function<CallResult()>& read, std::string& text) {
    job.board.begin(job.slot, job.label + " " + name, false);
    CallResult result = read();
    if (result.status < 0) return stop(job, name, result.status, result.error);
    fs::path part = part_of(job.dir / name);
    std::ofstream out(part, std::ios::binary | std::ios::trunc);
    out << result.text << '\n';
    out.close();
    if (!out) {
        remove_quietly(part);
        return stop(job, name, -1, "Cannot write " + part.string());
    }
    text = std::move(result.text);
    return publish(job, name, -1);
}

std::string log_file_name(const ListedLog& log) {
    return log.kind == LogKind::Datalog ? "datalog_" + std::to_string(log.file_id) + ".csv"
                                        : std::string("events.csv");
}

bool save_log(MeterJob& job, const ListedLog& log) {
    std::string name = log_file_name(log);
    job.board.begin(job.slot, job.label + " " + name, true);
    std::string part = part_of(job.dir / name).string();
    ExportProgress progress{job.board, job.slot};
    auto export_log = log.kind == LogKind::Datalog ? tandrel_session_export_datalog
                                                   : tandrel_session_export_eventlog;
    ErrorBuffer err;
    int status = export_log(job.session.handle(), log.file_id, part.c_str(), on_export_progress,
                            &progress, err.data(), err.size());
    if (status < 0) {
        remove_quietly(part);
        return stop(job, name, status, err.str());
    }
    return publish(job, name, status);
}

bool go_on(MeterJob& job) {
    return !interrupt_requested() || stop(job, "", -2, "Cancelled by caller");
}

// The session's open is the first file: device_info.json as the model chosen.
bool save_identity(MeterJob& job) {
    std::string info;
    return save_document(job, "device_info.json", [&job] {
        CallResult result = job.session.open(job.target);
        if (!job.target.check_model) job.report.model = job.target.meter;
        return result;
    }, info);
}

void run_steps(MeterJob& job) {
    std::string directory;
    auto list_logs = [&job] { return job.session.fetch(tandrel_session_list_logs); };
    if (!go_on(job) || !save_identity(job) || !go_on(job) ||
        !save_document(job, "logs.json", list_logs, directory))
        return;
    for (const ListedLog& log : listed_logs(parse_json(directory)))
        if (!go_on(job) || !save_log(job, log)) return;
    job.report.status = MeterStatus::Ok;
}

// The meter's files into its folder's NAME.new, which replaces the folder
// when every file is complete.
void collect_into_folder(MeterJob& job, const fs::path& path) {
    try {
        MeterFolder folder(path);
        job.dir = folder.work();
        try {
            run_steps(job);
            if (job.report.status == MeterStatus::Ok) job.report.folder = folder.commit();
        } catch (const std::exception& e) {
            stop(job, "", -1, e.what());
        }
        if (job.report.status != MeterStatus::Ok) job.report.folder = folder.abandon();
    } catch (const std::exception& e) {  // the folder could not be set up
        stop(job, "", -1, e.what());
        std::error_code ignored;
        job.report.folder = fs::exists(path, ignored) ? FolderState::Previous : FolderState::None;
    }
}

MeterReport collect_meter(const SiteMeter& meter, const CollectSettings& settings,
                          ProgressBoard& board, int slot) {
    auto start = std::chrono::steady_clock::now();
    std::string options = options_text(meter.port, meter.unit, settings.timeout_ms);
    Target target{meter.host, meter.model, options, meter_endpoint(meter), !meter.force_model};
    MeterReport report;
    report.meter = meter;
    report.model = meter.model;
    MeterJob job{target, {}, fs::path(), meter_endpoint(meter) + " u" + std::to_string(meter.unit),
                 board, slot, report};
    collect_into_folder(job, fs::path(settings.out_dir) / meter_dir_name(meter));
    board.end(slot);
    job.report.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return job.report;
}

}  // namespace

const char* status_name(MeterStatus status) {
    switch (status) {
        case MeterStatus::Ok: return "ok";
        case MeterStatus::Failed: return "failed";
        case MeterStatus::Cancelled: return "cancelled";
        case MeterStatus::NotStarted: return "not started";
    }
    return "";
}

std::vector<MeterReport> collect_site(const std::vector<SiteMeter>& meters,
                                      const CollectSettings& settings, ProgressBoard& board,
                                      const std::function<void(const MeterReport&)>& finished) {
    std::vector<MeterReport> reports(meters.size());
    for (size_t i = 0; i < meters.size(); ++i) {
        reports[i].meter = meters[i];
        reports[i].model = meters[i].model;
        std::error_code ignored;  // a meter that never starts keeps what it had
        if (fs::exists(fs::path(settings.out_dir) / meter_dir_name(meters[i]), ignored))
            reports[i].folder = FolderState::Previous;
    }
    std::atomic<size_t> next{0};
    std::atomic<int> running{0};
    auto work = [&](int slot) {
        for (size_t i; !interrupt_requested() && (i = next++) < meters.size();) {
            reports[i] = collect_meter(meters[i], settings, board, slot);
            finished(reports[i]);
        }
        --running;
    };
    size_t jobs = std::min(static_cast<size_t>(std::max(settings.jobs, 1)), meters.size());
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
        board.draw();
        std::this_thread::sleep_for(DISPLAY_EVERY);
    }
    for (auto& worker : workers) worker.join();
    board.close();
    return reports;
}

}  // namespace tandrel_cli
