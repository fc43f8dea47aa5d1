// Log files of the simulated meter; see log_store.h.
#include "log_store.h"

#include <algorithm>
#include <stdexcept>
#include <string>

namespace tandrel_sim {

namespace {

void push32(Record& r, std::uint32_t v) {
    r.push_back(static_cast<std::uint16_t>(v & 0xFFFF));
    r.push_back(static_cast<std::uint16_t>(v >> 16));
}

void fit(Record& r, int words) {
    if (words > 0) r.resize(static_cast<std::size_t>(words), 0);
}

std::uint16_t widest(const std::vector<Record>& records) {
    std::size_t w = 8;
    for (const Record& r : records) w = r.size() > w ? r.size() : w;
    return static_cast<std::uint16_t>(w > 0xFFFF ? 0xFFFF : w);
}

}  // namespace

void LogFile::apply_flags() {
    records = base;
    for (Record& r : records) fit(r, record_words);
    if (info.eof_flag && !records.empty()) records.back()[0] |= 0x0001;
    for (const LogScenario& s : info.scenarios) {
        if (s.kind != LogScenario::Kind::RecordFlags) continue;
        if (s.record >= 0 && static_cast<std::size_t>(s.record) < records.size()) {
            records[static_cast<std::size_t>(s.record)][0] |= s.flags;
        }
    }
}

void check_block_window(int file, const LogFile& f) {
    const std::size_t per_block = static_cast<std::size_t>(std::max(1, f.info.records_per_block));
    const std::size_t count = std::min(per_block, f.records.size());
    const std::size_t words = count * f.record_words;
    if (words <= static_cast<std::size_t>(reg::MAX_BLOCK_WORDS)) return;
    const std::string log = file == 0 ? "event log" : "data log " + std::to_string(file);
    throw std::runtime_error(log + ": a block of " + std::to_string(count) + " records of " +
                             std::to_string(f.record_words) + " words runs past the last register (" +
                             std::to_string(words) + " words from 0xF6B8, at most " +
                             std::to_string(reg::MAX_BLOCK_WORDS) + ")");
}

Record datalog_record(std::uint16_t seq, std::uint32_t time, std::uint16_t trigger,
                      const std::vector<std::int32_t>& values, int record_words) {
    Record r{0, seq};
    push32(r, time);
    push32(r, 0);
    r.push_back(trigger);
    r.push_back(0);
    for (std::int32_t v : values) push32(r, static_cast<std::uint32_t>(v));
    fit(r, record_words);
    return r;
}

Record event_record(std::uint16_t seq, const Event& e, int record_words) {
    Record r{0, seq};
    push32(r, e.time);
    push32(r, e.microseconds);
    r.push_back(e.event_no);
    r.push_back(e.source_id);
    r.push_back(e.effect_id);
    r.push_back(0);
    push32(r, static_cast<std::uint32_t>(e.value));
    fit(r, record_words);
    return r;
}

LogFile make_datalog(const DataLogSetup& log_setup, const Resolution& res) {
    LogFile f;
    f.info = log_setup;
    f.point_ids = log_setup.point_ids;
    const int columns = static_cast<int>(log_setup.point_ids.size());
    const int words = log_setup.record_words > 0 ? log_setup.record_words : 8 + 2 * columns;
    f.record_words = static_cast<std::uint16_t>(words < 8 ? 8 : words);
    f.base.reserve(static_cast<std::size_t>(log_setup.records > 0 ? log_setup.records : 0));
    std::vector<std::int32_t> values(static_cast<std::size_t>(columns));
    for (int i = 0; i < log_setup.records; ++i) {
        const std::uint32_t t = log_setup.first_time + static_cast<std::uint32_t>(i) * log_setup.interval_s;
        for (int c = 0; c < columns; ++c) {
            const std::uint16_t pid = log_setup.point_ids[static_cast<std::size_t>(c)];
            values[static_cast<std::size_t>(c)] =
                log_setup.value ? log_setup.value(i, c) : raw_value(pid, physical_value(pid, t), res);
        }
        const auto seq = static_cast<std::uint16_t>(log_setup.first_seq + i);
        f.base.push_back(datalog_record(seq, t, log_setup.trigger, values, words));
    }
    f.apply_flags();
    return f;
}

LogFile make_eventlog(const EventLogSetup& log_setup) {
    LogFile f;
    f.info = log_setup;
    f.record_words = static_cast<std::uint16_t>(log_setup.record_words < 8 ? 8 : log_setup.record_words);
    for (std::size_t i = 0; i < log_setup.events.size(); ++i) {
        const auto seq = static_cast<std::uint16_t>(log_setup.first_seq + i);
        f.base.push_back(event_record(seq, log_setup.events[i], f.record_words));
    }
    f.apply_flags();
    return f;
}

LogFile make_raw_log(const std::vector<Record>& records, int records_per_block,
                     const std::vector<std::uint16_t>& point_ids) {
    LogFile f;
    f.info.records_per_block = records_per_block;
    f.info.eof_flag = false;  // raw records carry exactly the flags given
    f.point_ids = point_ids;
    f.base = records;
    f.record_words = widest(records);
    f.apply_flags();
    return f;
}

}  // namespace tandrel_sim
