// Log configuration of the public simulator interface.
#include "simulator.h"
#include "simulator_core.h"

namespace tandrel_sim {

using Lock = std::lock_guard<std::mutex>;

namespace {

bool valid_file(int file) { return file >= 0 && file <= 16; }

}  // namespace

void Simulator::set_datalog(int file, const DataLogSetup& log_setup) {
    if (!valid_file(file) || file == 0) return;
    Lock lock(core_->mu);
    core_->install_log(file, make_datalog(log_setup, core_->resolution_locked()));
}

void Simulator::set_eventlog(const EventLogSetup& log_setup) {
    Lock lock(core_->mu);
    core_->install_log(0, make_eventlog(log_setup));
}

void Simulator::set_raw_log(int file, const std::vector<std::vector<std::uint16_t>>& records,
                            int records_per_block, const std::vector<std::uint16_t>& point_ids) {
    if (!valid_file(file)) return;
    Lock lock(core_->mu);
    core_->install_log(file, make_raw_log(records, records_per_block, point_ids));
}

void Simulator::set_file_info(int file, const FileInfoSetup& info) {
    Lock lock(core_->mu);
    const auto it = core_->logs.find(file);
    if (it == core_->logs.end()) return;
    LogFile f = it->second;
    f.info = info;
    f.apply_flags();
    core_->install_log(file, std::move(f));
}

void Simulator::add_log_scenario(int file, const LogScenario& scenario) {
    Lock lock(core_->mu);
    const auto it = core_->logs.find(file);
    if (it == core_->logs.end()) return;
    LogFile f = it->second;
    f.info.scenarios.push_back(scenario);
    f.apply_flags();
    core_->install_log(file, std::move(f));
}

void Simulator::remove_log(int file) {
    Lock lock(core_->mu);
    core_->logs.erase(file);
}

void Simulator::clear_logs() {
    Lock lock(core_->mu);
    core_->logs.clear();
}

std::vector<std::vector<std::uint16_t>> Simulator::log_records(int file) const {
    Lock lock(core_->mu);
    const auto it = core_->logs.find(file);
    return it == core_->logs.end() ? std::vector<std::vector<std::uint16_t>>{} : it->second.records;
}

LogScenario LogScenario::repeat_block(int presentation, int times) {
    LogScenario s;
    s.kind = Kind::RepeatBlock;
    s.presentation = presentation;
    s.times = times;
    return s;
}

LogScenario LogScenario::empty_header(int presentation, int times) {
    LogScenario s;
    s.kind = Kind::EmptyHeader;
    s.presentation = presentation;
    s.times = times;
    return s;
}

LogScenario LogScenario::record_flags(int record, std::uint16_t flags) {
    LogScenario s;
    s.kind = Kind::RecordFlags;
    s.record = record;
    s.flags = flags;
    return s;
}

LogScenario LogScenario::oversize_header(int presentation, std::uint16_t count,
                                         std::uint16_t size) {
    LogScenario s;
    s.kind = Kind::OversizeHeader;
    s.presentation = presentation;
    s.count = count;
    s.size = size;
    return s;
}

}  // namespace tandrel_sim
