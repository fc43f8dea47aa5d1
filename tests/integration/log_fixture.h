// Shared by the data-log integration tests: a deterministic simulated meter
// on a loopback port, realistic raw logs, and the expected texts built from
// the simulator's own records through a reference reading of the formats.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "meter/data_scales.h"
#include "meter/value_format.h"
#include "modbus/modbus_tcp_client.h"
#include "sim/simulator.h"
#include "tandrel.h"

namespace datalog_test {

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

inline std::string ref_iso(const Record& r) {
    return strftime_utc(u32(r, 2), "%Y-%m-%dT%H:%M:%S.") + millis(u32(r, 4)) + "Z";
}

inline std::string ref_hmi(const Record& r) {
    const auto whole = static_cast<int64_t>(u32(r, 2) + u32(r, 4) / 1000000.0);
    return strftime_utc(whole, "%d/%m/%y  %H:%M:%S.") + millis(u32(r, 4));
}

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

class DatalogSim : public ::testing::Test {
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

// A fresh directory under the system's temporary directory, removed afterwards.
class TempDir {
public:
    TempDir() {
        std::random_device random;
        path_ = std::filesystem::temp_directory_path() /
                ("tandrel_dl_" + std::to_string(random()) + std::to_string(random()));
        std::filesystem::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

inline std::string file_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace datalog_test
