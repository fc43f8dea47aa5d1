// The questions `tandrel history` answers from a store, without SQL: which
// meters and logs it holds over which times, and one log of one meter over a
// time range, record by record in time order. The same statements run on
// every database; times come back as record times.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "store.h"

namespace tandrel_site {

struct StoredLog {
    int file_id = 0;
    LogKind kind = LogKind::Datalog;
    long records = 0;
    std::string first, last;  // record times of the oldest and newest record
};

struct StoredMeter {
    int64_t meter_id = 0;
    uint32_t serial = 0;
    std::string model;
    long runs = 0;
    std::string first_run, last_run;
    std::string address;  // where the last run found it
    int unit = 0;
    std::vector<StoredLog> logs;
};

// Every meter of the store with its runs and logs, by serial and model.
std::vector<StoredMeter> stored_meters(Store& store);

// The meter with this serial (and model, when not empty). Throws
// std::runtime_error when there is none, or when the serial names several
// meters of different models and no model was given.
StoredMeter find_meter(Store& store, uint32_t serial, const std::string& model);

// The log `file_id` of the meter as the store holds it; throws when it has none.
const StoredLog& find_log(const StoredMeter& meter, int file_id);

// A time range of record times; an empty end is open. `to` is not included.
struct TimeRange {
    std::string from, to;
};

struct StoredDatalogRecord {
    std::string time;
    int seq = 0;
    std::string trigger;
    const std::vector<LogColumn>* columns = nullptr;  // the layout it was read with
    int64_t layout_id = 0;
    std::vector<std::string> values;  // the decimal texts, in column order
};

struct StoredEvent {
    std::string time;
    int seq = 0;
    std::string event_no, cause, point, state, effect, target;
    std::string source_id, effect_id, value_triggered;  // empty when the store did not keep them
};

void read_stored_datalog(Store& store, const StoredMeter& meter, int file_id,
                         const TimeRange& range,
                         const std::function<void(const StoredDatalogRecord&)>& record);

void read_stored_events(Store& store, const StoredMeter& meter, int file_id, const TimeRange& range,
                        const std::function<void(const StoredEvent&)>& event);

// "230.50,231.00" items of a stored value list, "[...]" or PostgreSQL's "{...}".
std::vector<std::string> stored_values(std::string_view list);

}  // namespace tandrel_site
