// What a store is given to keep: a meter as one run saw it, a log's columns,
// and batches of data-log records and events. A batch keeps its texts in one
// growing buffer, so that filling it costs no allocation per record once it
// has reached its size, and clearing it keeps that size for the next batch.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tandrel_site {

// A meter as one run saw it. The store knows a meter by model and serial:
// the address is where it was found this time.
struct MeterSighting {
    std::string model;  // the model name the meter reports, "EM235"
    uint32_t serial = 0;
    std::string address;  // "192.0.2.10:502", as the site file names it
    int unit = 1;
    std::string device_info;  // the library's device information document, as read
    std::string time;         // when the run began: "2026-12-05T13:42:07.123Z"
};

struct LogColumn {
    std::string name;
    std::string unit;
    int decimals = 0;
};

enum class LogKind { Datalog, Eventlog };

// One entry of the log directory as this run read it.
struct LogEntry {
    int file_id = 0;
    LogKind kind = LogKind::Datalog;
    int records = -1;                // the record count the meter gave, -1 when unknown
    std::vector<LogColumn> columns;  // data logs: the columns the records are read with
};

// Offsets into a batch's text buffer.
struct TextSlice {
    uint32_t at = 0;
    uint32_t size = 0;
};

class TextArena {
public:
    TextSlice add(std::string_view text);
    std::string_view at(TextSlice slice) const { return {text_.data() + slice.at, slice.size}; }
    void clear() { text_.clear(); }

private:
    std::string text_;
};

// One data-log record: its time as the library prints it (UTC, milliseconds,
// "2026-12-05T13:42:07.123Z"), the meter's sequence number, the trigger, and
// the values as the JSON array the library wrote ("[230.50,231.00]"): the
// digits stay exactly as the meter's decimals made them.
struct DatalogRow {
    std::string_view time;
    int seq = 0;
    std::string_view trigger;
    std::string_view values;
    int value_count = 0;
};

class DatalogBatch {
public:
    // Throws std::runtime_error for a time that is not in the library's form,
    // a seq outside 0-65535 or values that are not a JSON array of numbers.
    void add(std::string_view time, int seq, std::string_view trigger, std::string_view values);
    size_t size() const { return rows_.size(); }
    bool empty() const { return rows_.empty(); }
    DatalogRow operator[](size_t i) const;
    void clear();

private:
    struct Stored {
        TextSlice time, trigger, values;
        int seq, value_count;
    };
    TextArena text_;
    std::vector<Stored> rows_;
};

// One event as the library's event-log stream gives it.
struct EventRow {
    std::string_view time;
    int seq = 0;
    int event_no = 0;
    std::string_view cause, point, state, effect, target;
    int source_id = 0;
    int effect_id = 0;
    int64_t value_triggered = 0;
};

class EventBatch {
public:
    // Throws std::runtime_error for a time that is not in the library's form
    // or a seq outside 0-65535.
    void add(const EventRow& row);
    size_t size() const { return rows_.size(); }
    bool empty() const { return rows_.empty(); }
    EventRow operator[](size_t i) const;
    void clear();

private:
    struct Stored {
        TextSlice time, cause, point, state, effect, target;
        int seq, event_no, source_id, effect_id;
        int64_t value_triggered;
    };
    TextArena text_;
    std::vector<Stored> rows_;
};

// The number of values in a JSON array of plain numbers ("[1.5,-2,0.000]"),
// or -1 when the text is not one.
int number_array_size(std::string_view text);

}  // namespace tandrel_site
