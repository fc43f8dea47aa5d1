// The simulated meter's log files: the event log (file 0) and data logs
// 1-16, kept as the exact record words the meter hands out, plus the File
// Info settings and misbehaviour scenarios of each file.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "meter_values.h"
#include "simulator.h"

namespace tandrel_sim {

using Record = std::vector<std::uint16_t>;

struct LogFile {
    FileInfoSetup info;
    std::vector<std::uint16_t> point_ids;
    std::vector<Record> base;     // records before flags
    std::vector<Record> records;  // as served: end-of-file and scenario flags applied
    std::uint16_t record_words = 8;
    std::uint32_t generation = 0;  // changes whenever the file is replaced

    // Rebuilds `records` from `base` and the flag settings of `info`.
    void apply_flags();
};

// Throws std::runtime_error naming the file ("data log 3", "event log") when
// one of its blocks would hold more words than fit between the block data
// register and the last register: no meter can present such a block.
void check_block_window(int file, const LogFile& f);

using LogMap = std::map<int, LogFile>;

LogFile make_datalog(const DataLogSetup& log_setup, const Resolution& res);
LogFile make_eventlog(const EventLogSetup& log_setup);
LogFile make_raw_log(const std::vector<Record>& records, int records_per_block,
                     const std::vector<std::uint16_t>& point_ids);

// Record layout helpers, shared with the default content.
Record datalog_record(std::uint16_t seq, std::uint32_t time, std::uint16_t trigger,
                      const std::vector<std::int32_t>& values, int record_words);
Record event_record(std::uint16_t seq, const Event& e, int record_words);

}  // namespace tandrel_sim
