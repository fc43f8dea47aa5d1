// What the service knows of one meter from its polls and collections: what
// every output (the Prometheus exposition, MQTT, the status page) publishes.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace tandrel_site {

// One value of the meter's live set, as the library's live document has it.
struct LiveReading {
    int pid = 0;
    std::string name;  // "V1", "kW L1", "kWh import", ...
    std::string unit;  // "V", "kW", "kWh", "" for a power factor, ...
    double value = 0;
    std::string text;  // the value as the library wrote it ("230.50"), for exact unit conversions
};

// The clock's reading in the unit MeterState keeps its times in.
inline std::int64_t now_unix_ms() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

struct MeterState {
    // Who the meter is. `name` is how the site file names it: the name given
    // there, else HOST:PORT/UNIT. Serial and model are "" until the meter's
    // identity has been read.
    std::string name;
    std::string address;  // HOST:PORT
    int unit_id = 1;
    std::string serial;
    std::string model;

    // Its polls. Times are Unix milliseconds, 0 for never.
    bool up = false;  // the last poll answered
    std::uint64_t polls = 0;
    std::uint64_t failures = 0;
    // Intervals that came while the previous poll still ran, or while a
    // history collection held the meter's connection.
    std::uint64_t skipped = 0;
    std::int64_t last_poll_ms = 0;
    std::int64_t last_success_ms = 0;
    double last_poll_seconds = 0;  // how long the last poll took
    std::string last_error;        // of the last failed poll; "" after a success
    std::vector<LiveReading> readings;  // of the last successful poll

    // Its last history collection, when the service collects logs.
    std::int64_t last_collection_ms = 0;
    bool last_collection_ok = false;
    std::string last_collection_text;  // "12 new records", or what failed
    std::uint64_t collections = 0;          // finished or failed, not stopped
    std::uint64_t collection_failures = 0;
    std::uint64_t stored_records = 0;  // data-log records and events this service stored
};

}  // namespace tandrel_site
