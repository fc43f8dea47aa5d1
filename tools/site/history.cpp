// The history statements: plain SQL over the tables, with $n parameters and
// record times compared as the store keeps them, so that SQLite (text in the
// record time's sortable form) and PostgreSQL (timestamptz) answer the same.
#include "history.h"

#include <map>
#include <stdexcept>

#include "record_time.h"

namespace tandrel_site {
namespace {

// Before and after any record time a meter can give (1970 to 2106).
const char* const EARLIEST = "1970-01-01T00:00:00.000Z";
const char* const LATEST = "9999-12-31T23:59:59.999Z";

const char* const METERS_SQL = R"(
SELECT m.meter_id, m.serial, m.model, count(*), min(r.time), max(r.time),
       (SELECT address FROM runs l WHERE l.meter_id = m.meter_id ORDER BY run_id DESC LIMIT 1),
       (SELECT unit FROM runs l WHERE l.meter_id = m.meter_id ORDER BY run_id DESC LIMIT 1)
  FROM meters m JOIN runs r ON r.meter_id = m.meter_id
 GROUP BY m.meter_id, m.serial, m.model
 ORDER BY m.serial, m.model)";

const char* const LOGS_SQL = R"(
SELECT meter_id, 'datalog', file_id, count(*), min(time), max(time)
  FROM datalog_rows GROUP BY meter_id, file_id
UNION ALL
SELECT meter_id, 'eventlog', file_id, count(*), min(time), max(time)
  FROM event_rows GROUP BY meter_id, file_id
 ORDER BY 1, 3)";

const char* const DATALOG_SQL = R"(
SELECT time, seq, trigger, layout_id, vals FROM datalog_rows
 WHERE meter_id = $1 AND file_id = $2 AND time >= $3 AND time < $4
 ORDER BY time, seq)";

const char* const LAYOUTS_SQL = R"(
SELECT c.layout_id, c.name, c.unit, c.decimals FROM layout_columns c
  JOIN layouts l ON l.layout_id = c.layout_id
 WHERE l.meter_id = $1 AND l.file_id = $2
 ORDER BY c.layout_id, c.position)";

const char* const EVENTS_SQL = R"(
SELECT time, seq, event_no, cause, point, state, effect, target,
       source_id, effect_id, value_triggered FROM event_rows
 WHERE meter_id = $1 AND file_id = $2 AND time >= $3 AND time < $4
 ORDER BY time, seq)";

std::string text(const Cell& cell) { return cell.null ? "" : std::string(cell.text); }

std::vector<QueryParam> log_params(const StoredMeter& meter, int file_id, const TimeRange& range) {
    return {meter.meter_id, int64_t{file_id}, range.from.empty() ? EARLIEST : range.from,
            range.to.empty() ? LATEST : range.to};
}

std::string models_text(const std::vector<StoredMeter>& meters) {
    std::string text;
    for (const auto& meter : meters) text += (text.empty() ? "" : ", ") + meter.model;
    return text;
}

}  // namespace

std::vector<StoredMeter> stored_meters(Store& store) {
    std::vector<StoredMeter> meters;
    std::map<int64_t, size_t> index;
    store.query(METERS_SQL, {}, [&](const std::vector<Cell>& row) {
        StoredMeter meter;
        meter.meter_id = std::stoll(text(row[0]));
        meter.serial = static_cast<uint32_t>(std::stoul(text(row[1])));
        meter.model = text(row[2]);
        meter.runs = std::stol(text(row[3]));
        meter.first_run = record_time_from_database(row[4].text);
        meter.last_run = record_time_from_database(row[5].text);
        meter.address = text(row[6]);
        meter.unit = std::stoi(text(row[7]));
        index[meter.meter_id] = meters.size();
        meters.push_back(std::move(meter));
    });
    store.query(LOGS_SQL, {}, [&](const std::vector<Cell>& row) {
        auto found = index.find(std::stoll(text(row[0])));
        if (found == index.end()) return;
        StoredLog log;
        log.kind = text(row[1]) == "eventlog" ? LogKind::Eventlog : LogKind::Datalog;
        log.file_id = std::stoi(text(row[2]));
        log.records = std::stol(text(row[3]));
        log.first = record_time_from_database(row[4].text);
        log.last = record_time_from_database(row[5].text);
        meters[found->second].logs.push_back(std::move(log));
    });
    return meters;
}

StoredMeter find_meter(Store& store, uint32_t serial, const std::string& model) {
    std::vector<StoredMeter> matches;
    for (auto& meter : stored_meters(store))
        if (meter.serial == serial && (model.empty() || meter.model == model))
            matches.push_back(std::move(meter));
    std::string name =
        "serial " + std::to_string(serial) + (model.empty() ? "" : " model " + model);
    if (matches.empty()) throw std::runtime_error("The store holds no meter of " + name);
    if (matches.size() > 1)
        throw std::runtime_error("Serial " + std::to_string(serial) + " names " +
                                 std::to_string(matches.size()) + " meters (" +
                                 models_text(matches) + "): say which with --model");
    return matches.front();
}

const StoredLog& find_log(const StoredMeter& meter, int file_id) {
    for (const auto& log : meter.logs)
        if (log.file_id == file_id) return log;
    throw std::runtime_error("The store holds no records of log " + std::to_string(file_id) +
                             " of " + meter.model + " " + std::to_string(meter.serial));
}

std::vector<std::string> stored_values(std::string_view list) {
    std::vector<std::string> values;
    if (list.size() <= 2) return values;
    list = list.substr(1, list.size() - 2);
    for (size_t start = 0;;) {
        size_t comma = list.find(',', start);
        values.emplace_back(list.substr(start, comma - start));
        if (comma == std::string_view::npos) return values;
        start = comma + 1;
    }
}

void read_stored_datalog(Store& store, const StoredMeter& meter, int file_id,
                         const TimeRange& range,
                         const std::function<void(const StoredDatalogRecord&)>& record) {
    std::map<int64_t, std::vector<LogColumn>> layouts;
    store.query(LAYOUTS_SQL, {meter.meter_id, int64_t{file_id}}, [&](const std::vector<Cell>& row) {
        layouts[std::stoll(text(row[0]))].push_back(
            {text(row[1]), text(row[2]), std::stoi(text(row[3]))});
    });
    StoredDatalogRecord out;
    store.query(DATALOG_SQL, log_params(meter, file_id, range), [&](const std::vector<Cell>& row) {
        out.time = record_time_from_database(row[0].text);
        out.seq = std::stoi(text(row[1]));
        out.trigger = text(row[2]);
        out.layout_id = std::stoll(text(row[3]));
        out.columns = &layouts[out.layout_id];
        out.values = stored_values(row[4].text);
        record(out);
    });
}

void read_stored_events(Store& store, const StoredMeter& meter, int file_id, const TimeRange& range,
                        const std::function<void(const StoredEvent&)>& event) {
    store.query(EVENTS_SQL, log_params(meter, file_id, range), [&](const std::vector<Cell>& row) {
        event({record_time_from_database(row[0].text), std::stoi(text(row[1])), text(row[2]),
               text(row[3]), text(row[4]), text(row[5]), text(row[6]), text(row[7]), text(row[8]),
               text(row[9]), text(row[10])});
    });
}

}  // namespace tandrel_site
