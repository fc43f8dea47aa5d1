// A meter's logs streamed into a store, batch by batch.
#include "store_destination.h"

#include <chrono>
#include <exception>

#include "library_json.h"
#include "record_time.h"

namespace tandrel_site {
namespace {

// Records per transaction: large enough that committing costs little per
// record, small enough that a stop loses little work and memory stays flat.
constexpr size_t BATCH_RECORDS = 5000;

// What the output callback needs while a log streams in.
struct LogFeed {
    Store& store;
    const MeterRun& run;
    LogEntry entry;
    StepContext& step;
    LogRef log;
    bool begun = false;  // a data log's layout is known once its header came
    DatalogBatch datalog;
    EventBatch events;
    int records = 0;
    size_t added = 0;
    std::string failure;  // why the store stopped the stream

    bool full() const {
        return (entry.kind == LogKind::Datalog ? datalog.size() : events.size()) >= BATCH_RECORDS;
    }
    // The batch in hand into the store, also after a failed stream.
    void flush() {
        if (!begun) return;
        if (entry.kind == LogKind::Datalog) {
            added += store.write(log, datalog);
            datalog.clear();
        } else {
            added += store.write(log, events);
            events.clear();
        }
    }
};

void take_line(LogFeed& feed, const char* text) {
    if (feed.entry.kind == LogKind::Eventlog) {
        feed.records += read_event_line(text, feed.events) == StreamLine::Record;
    } else if (read_datalog_line(text, feed.entry.columns, feed.datalog) == StreamLine::Header) {
        feed.log = feed.store.begin_log(feed.run, feed.entry);
        feed.begun = true;
    } else {
        ++feed.records;
    }
    if (feed.full()) feed.flush();
}

// Runs on the library's thread: an exception must not cross it, so a line
// the store refuses stops the call and is reported afterwards.
int TANDREL_CALL on_line(const char* text, void* user) {
    auto& feed = *static_cast<LogFeed*>(user);
    try {
        take_line(feed, text);
    } catch (const std::exception& e) {
        feed.failure = e.what();
        return 1;
    }
    feed.step.observer.step_progress(feed.step.slot, feed.records, feed.entry.records);
    return feed.step.stop ? 1 : 0;
}

int64_t now_ms() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

}  // namespace

std::string StoreDestination::log_name(const LogEntry& log) const {
    return log.kind == LogKind::Datalog ? "data log " + std::to_string(log.file_id)
                                        : std::string("event log");
}

void StoreDestination::take_identity(const std::string& device_info, MeterReport&) {
    run_ = store_->begin_meter_run(meter_sighting(device_info, meter_endpoint(meter_), meter_.unit,
                                                  format_record_time(now_ms())));
}

StepResult StoreDestination::read_log(MeterSession& session, const LogEntry& log,
                                      StepContext& step, MeterReport& report) {
    LogFeed feed{*store_, run_, log, step, {}, false, {}, {}, 0, 0, {}};
    feed.entry.columns.clear();  // the stream's header brings the ones its records have
    if (log.kind == LogKind::Eventlog) {
        feed.log = store_->begin_log(run_, feed.entry);
        feed.begun = true;
    }
    auto read = log.kind == LogKind::Datalog ? tandrel_session_read_datalog
                                             : tandrel_session_read_eventlog;
    ErrorBuffer err;
    int status = read(session.handle(), log.file_id, on_line, &feed, err.data(), err.size());
    // The whole records that arrived are kept, whatever stopped the stream.
    try {
        feed.flush();
    } catch (const std::exception& e) {
        if (feed.failure.empty()) feed.failure = e.what();
    }
    (log.kind == LogKind::Datalog ? report.new_records : report.new_events) +=
        static_cast<long>(feed.added);
    if (!feed.failure.empty()) return {-1, feed.failure};
    return {status, status < 0 ? err.str() : ""};
}

}  // namespace tandrel_site
