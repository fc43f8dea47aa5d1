// A meter's files written whole into the folder that replaces its last one.
#include "csv_folder_destination.h"

#include <fstream>
#include <stdexcept>
#include <system_error>

namespace tandrel_site {
namespace {

namespace fs = std::filesystem;

fs::path part_of(const fs::path& path) { return fs::path(path.string() + ".part"); }

void remove_quietly(const fs::path& path) {
    std::error_code ignored;
    fs::remove(path, ignored);
}

int TANDREL_CALL on_export_progress(int done, int total, void* user) {
    auto& step = *static_cast<StepContext*>(user);
    step.observer.step_progress(step.slot, done, total);
    return step.stop ? 1 : 0;
}

}  // namespace

std::string CsvFolderDestination::log_name(const LogEntry& log) const {
    return log.kind == LogKind::Datalog ? "datalog_" + std::to_string(log.file_id) + ".csv"
                                        : std::string("events.csv");
}

void CsvFolderDestination::begin_meter(const SiteMeter& meter) {
    folder_.reset();
    path_ = out_dir_ / meter_dir_name(meter);
    folder_.emplace(path_);
}

// Gives a complete part its name; the file it replaces is never seen half-written.
void CsvFolderDestination::publish(const std::string& name, int records, MeterReport& report) {
    fs::path path = folder_->work() / name;
    std::error_code ec;
    fs::rename(part_of(path), path, ec);
    if (ec) {
        remove_quietly(part_of(path));
        throw std::runtime_error("Cannot rename " + part_of(path).string() + ": " + ec.message());
    }
    report.files.push_back({name, records});
}

void CsvFolderDestination::save_document(const std::string& name, const std::string& text,
                                         MeterReport& report) {
    fs::path part = part_of(folder_->work() / name);
    std::ofstream out(part, std::ios::binary | std::ios::trunc);
    out << text << '\n';
    out.close();
    if (!out) {
        remove_quietly(part);
        throw std::runtime_error("Cannot write " + part.string());
    }
    publish(name, -1, report);
}

void CsvFolderDestination::take_identity(const std::string& device_info, MeterReport& report) {
    save_document(identity_name(), device_info, report);
}

void CsvFolderDestination::take_directory(const std::string& logs_document,
                                          MeterReport& report) {
    save_document(directory_name(), logs_document, report);
}

StepResult CsvFolderDestination::read_log(MeterSession& session, const LogEntry& log,
                                          StepContext& step, MeterReport& report) {
    std::string name = log_name(log);
    std::string part = part_of(folder_->work() / name).string();
    auto export_log = log.kind == LogKind::Datalog ? tandrel_session_export_datalog
                                                   : tandrel_session_export_eventlog;
    ErrorBuffer err;
    int status = export_log(session.handle(), log.file_id, part.c_str(), on_export_progress, &step,
                            err.data(), err.size());
    if (status < 0) {
        remove_quietly(part);
        return {status, err.str()};
    }
    publish(name, status, report);
    return {status, ""};
}

void CsvFolderDestination::end_meter(MeterReport& report) {
    if (!folder_) {  // the folder could not be set up: a meter that never starts keeps what it had
        std::error_code ignored;
        report.folder = fs::exists(path_, ignored) ? FolderState::Previous : FolderState::None;
        return;
    }
    if (report.status == MeterStatus::Ok) {
        try {
            report.folder = folder_->commit();
        } catch (const std::exception& e) {
            report.status = MeterStatus::Failed;
            report.failed_file.clear();
            report.message = e.what();
        }
    }
    if (report.status != MeterStatus::Ok) report.folder = folder_->abandon();
    folder_.reset();
}

}  // namespace tandrel_site
