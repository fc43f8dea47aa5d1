// Shared by the log integration tests: a deterministic simulated meter on a
// loopback port, realistic raw logs and events, callbacks that record what
// they were given, and the expected texts built from the simulator's own
// records through a reference reading of the formats.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "meter/data_scales.h"
#include "meter/value_format.h"
#include "modbus/modbus_tcp_client.h"
#include "sim/simulator.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"
#include "tandrel.h"

namespace log_test {

using tandrel::testing::file_bytes;
using tandrel::testing::TempDir;

using Record = std::vector<uint16_t>;

inline uint32_t u32(const Record& r, size_t low) {
    return static_cast<uint32_t>(r[low]) | (static_cast<uint32_t>(r[low + 1]) << 16);
}

inline std::string strftime_utc(int64_t seconds, const char* pattern) {
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm tm{};
#ifdef _WIN32
    gmtime_s(&tm, &t);
#else
    gmtime_r(&t, &tm);
#endif
    char text[64];
    std::strftime(text, sizeof text, pattern, &tm);
    return text;
}

inline std::string millis(uint32_t us) {
    char text[8];
    std::snprintf(text, sizeof text, "%03u", (us / 1000) % 1000);
    return text;
}

inline std::string ref_iso(uint32_t seconds, uint32_t us) {
    return strftime_utc(seconds, "%Y-%m-%dT%H:%M:%S.") + millis(us) + "Z";
}

inline std::string ref_hmi(uint32_t seconds, uint32_t us) {
    const auto whole = static_cast<int64_t>(seconds + us / 1000000.0);
    return strftime_utc(whole, "%d/%m/%y  %H:%M:%S.") + millis(us);
}

inline std::string ref_iso(const Record& r) { return ref_iso(u32(r, 2), u32(r, 4)); }
inline std::string ref_hmi(const Record& r) { return ref_hmi(u32(r, 2), u32(r, 4)); }

inline std::string ref_trigger(uint16_t t) {
    char text[16];
    if (t == 0) return "SP";
    if (t <= 16) std::snprintf(text, sizeof text, "SP%u", static_cast<unsigned>(t));
    else std::snprintf(text, sizeof text, "0x%04X", static_cast<unsigned>(t));
    return text;
}

// A realistic raw log: varying times, microseconds, triggers and signed values.
inline std::vector<Record> raw_records(int count, int columns, uint16_t first_seq = 1) {
    std::vector<Record> records;
    std::mt19937 random(static_cast<unsigned>(count * 31 + columns));
    for (int i = 0; i < count; ++i) {
        Record r{0, static_cast<uint16_t>(first_seq + i)};
        const uint32_t t = 1764942127u + static_cast<uint32_t>(i) * 900u;
        const uint32_t us = static_cast<uint32_t>(random() % 1000000u);
        r.insert(r.end(), {static_cast<uint16_t>(t), static_cast<uint16_t>(t >> 16),
                           static_cast<uint16_t>(us), static_cast<uint16_t>(us >> 16),
                           static_cast<uint16_t>(i % 5 == 0 ? 0 : (i % 7 == 0 ? 0xBEEF : i % 17)),
                           0});
        for (int c = 0; c < columns; ++c) {
            const int32_t v = static_cast<int32_t>(random()) >> (c % 24);
            r.push_back(static_cast<uint16_t>(static_cast<uint32_t>(v)));
            r.push_back(static_cast<uint16_t>(static_cast<uint32_t>(v) >> 16));
        }
        records.push_back(r);
    }
    if (!records.empty()) records.back()[0] = 0x0001;
    return records;
}

// (source, effect) pairs that reach every classification rule and cause,
// texts with '/', '.', '#' and blanks, and events with no text at all.
const std::pair<uint16_t, uint16_t> EVENT_IDS[] = {
    {0x031D, 0xE100}, {0x5A00, 0x2000}, {0x5A05, 0x2103}, {0x0302, 0xE102}, {0x5A01, 0x2000},
    {0x5A3F, 0x5100}, {0x5A02, 0x1234}, {0x5A00, 0x3905}, {0x5A0C, 0x7207}, {0x5A00, 0xE100},
    {0x0001, 0xE13F}, {0x0001, 0xE200}, {0x6309, 0x0000}, {0x0001, 0x6321}, {0x6300, 0x0000},
    {0x6308, 0x0000}, {0x5B0F, 0x1234}, {0x5B0F, 0xF500}, {0x5B12, 0x6102}, {0x5B10, 0x0400},
    {0x0001, 0x0000}, {0x0001, 0x6A05}, {0x0001, 0xF400}, {0x0001, 0x1234}, {0xFFFF, 0xFFFF},
    {0x0303, 0xE105}, {0x5A00, 0x2001}, {0x0080, 0xE103}, {0x5A07, 0x411F}, {0x5A20, 0x3A0F},
    {0x5A09, 0x5300}, {0x5A0D, 0x8000}, {0x0001, 0xE23F}, {0x6318, 0x1234}, {0x0001, 0x631A},
    {0x5B14, 0x1234}, {0x5B35, 0x6A1B}, {0x5B10, 0x03FF}, {0x0001, 0x6200}, {0x0001, 0x6B07},
    {0x0001, 0xF900}, {0x1234, 0x0001},
};

// A realistic event log: every kind above, signed values and varying times.
inline std::vector<tandrel_sim::Event> realistic_events(int count) {
    std::vector<tandrel_sim::Event> events;
    const int kinds = static_cast<int>(std::size(EVENT_IDS));
    for (int i = 0; i < count; ++i) {
        tandrel_sim::Event e;
        e.source_id = EVENT_IDS[i % kinds].first;
        e.effect_id = EVENT_IDS[i % kinds].second;
        e.event_no = static_cast<uint16_t>(1000 + i);
        e.value = (i % 3 == 0) ? -(i * 70001) : i * 12345;
        e.time = 1764942127u + static_cast<uint32_t>(i) * 3607u;
        e.microseconds = static_cast<uint32_t>((i * 104729) % 1000000);
        events.push_back(e);
    }
    if (count > 7) events[7].value = INT32_MIN;
    return events;
}

// Records every progress call; answers non-zero to call number `stop_at`.
struct Progress {
    std::vector<std::pair<int, int>> calls;
    size_t stop_at = 0;  // 0: never stop
};

inline int TANDREL_CALL on_progress(int done, int total, void* user) {
    auto* p = static_cast<Progress*>(user);
    p->calls.emplace_back(done, total);
    return p->stop_at != 0 && p->calls.size() == p->stop_at ? 1 : 0;
}

// Records every streamed object; answers non-zero to object number `stop_at`.
struct Collected {
    std::vector<std::string> lines;
    size_t stop_at = 0;  // 0: never stop
};

inline int TANDREL_CALL collect(const char* text, void* user) {
    auto* c = static_cast<Collected*>(user);
    c->lines.emplace_back(text);
    return c->stop_at != 0 && c->lines.size() == c->stop_at ? 1 : 0;
}

class LogSim : public ::testing::Test {
protected:
    void SetUp() override {
        tandrel_sim::SimOptions o = tandrel_sim::SimOptions::deterministic();
        o.default_logs = false;
        sim = std::make_unique<tandrel_sim::Simulator>(tandrel_sim::Model::EM235, o);
        sim->start("127.0.0.1", 0);
        options = "{\"port\":" + std::to_string(sim->port()) + ",\"timeout_ms\":2000}";
    }

    // Column formats as the library names them for this meter's setup.
    std::vector<tandrel::ColumnFormat> formats(const std::vector<uint16_t>& ids, size_t n) {
        tandrel::ModbusTcpClient client("127.0.0.1", sim->port(), 1, 2000);
        client.connect();
        const tandrel::DataScales scales =
            tandrel::read_data_scales(client, tandrel::MeterModel::EM235);
        std::vector<tandrel::ColumnFormat> out;
        for (size_t c = 0; c < n; ++c) {
            const uint16_t id = c < ids.size() ? ids[c] : 0;
            out.push_back(tandrel::resolve_column(id, static_cast<int>(c) + 1,
                                                  tandrel::MeterModel::EM235, scales));
        }
        sim->clear_requests();
        return out;
    }

    // The "columns" member of a header or directory entry, as the formats say.
    static std::string columns_json(const std::vector<tandrel::ColumnFormat>& f) {
        std::string text = "\"columns\":[";
        for (size_t i = 0; i < f.size(); ++i) {
            text += (i ? "," : "") + std::string("{\"name\":\"") + f[i].name + "\",\"unit\":\"" +
                    f[i].unit + "\",\"decimals\":" + std::to_string(f[i].decimals) + "}";
        }
        return text + "]";
    }

    static std::vector<std::string> values(const Record& r,
                                           const std::vector<tandrel::ColumnFormat>& f) {
        std::vector<std::string> out;
        for (size_t c = 0; c < f.size() && 9 + 2 * c < r.size(); ++c) {
            out.push_back(tandrel::format_value(static_cast<int32_t>(u32(r, 8 + 2 * c)), f[c]));
        }
        return out;
    }

    // Requests of one kind: fc 16 at the command register with this command.
    int commands(uint16_t command) const {
        int n = 0;
        for (const tandrel_sim::Request& r : sim->requests()) {
            n += r.function == 16 && r.address == tandrel_sim::reg::FILE_COMMAND &&
                 !r.values.empty() && r.values[0] == command;
        }
        return n;
    }
    int acknowledgements() const {
        int n = 0;
        for (const tandrel_sim::Request& r : sim->requests()) {
            n += r.function == 6 && r.address == tandrel_sim::reg::FILE_COMMAND;
        }
        return n;
    }

    std::unique_ptr<tandrel_sim::Simulator> sim;
    std::string options;
    char err[256] = "untouched";
};

}  // namespace log_test
