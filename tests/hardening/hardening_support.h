// Shared pieces of the hardening tests: resource counters, a scratch folder,
// and every exported function that talks to a meter behind one signature, so
// that the fault matrix and the soak can walk them all alike.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "sim/simulator.h"
#include "support/process_info.h"
#include "tandrel.h"

namespace hardening {

namespace fs = std::filesystem;

// Open descriptors and resident memory of this process; -1 where the
// platform cannot tell (a Windows build), and the check is then skipped.
inline int count_fds() { return tandrel::testing::open_descriptor_count(); }
inline long rss_kib() { return tandrel::testing::resident_kib(); }

inline std::string file_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class TempDir {
public:
    TempDir() {
        path_ = fs::temp_directory_path() /
                ("tandrel_hardening_" + std::to_string(std::random_device{}()));
        fs::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string file(const std::string& name) const { return (path_ / name).string(); }
    std::string path() const { return path_.string(); }

private:
    fs::path path_;
};

// Waits until the simulator has seen every client connection close, so that
// its own sockets do not count as the library's in a descriptor check.
inline bool wait_connections_closed(const tandrel_sim::Simulator& sim) {
    for (int i = 0; i < 400; ++i) {
        if (sim.open_connections() == 0) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

// Readings carry the time of reading; everything else must match byte for byte.
inline std::string mask_timestamps(std::string text) {
    const std::string key = "\"timestamp\":\"";
    for (size_t at = text.find(key); at != std::string::npos; at = text.find(key, at + 1)) {
        const size_t begin = at + key.size();
        const size_t end = text.find('"', begin);
        if (end == std::string::npos) break;
        text.replace(begin, end - begin, "T");
    }
    return text;
}

struct Outcome {
    int status = 0;
    std::string err;
    std::string output;  // the document, the stream lines (one per line) or the CSV bytes
    int progress_calls = 0;
};

struct Target {
    std::string host;
    std::string meter;    // "em133" or "em235"
    std::string options;  // port and time-out of the simulator
    std::string csv_path;
};

enum class Output { Document, Lines, Csv, Files };

struct MeterCall {
    const char* name;
    Output output;
    std::function<Outcome(const Target&)> run;
};

namespace detail {

inline int collect_line(const char* text, void* user) {
    auto& out = *static_cast<std::string*>(user);
    out += text;
    out += '\n';
    return 0;
}

inline int count_progress(int, int, void* user) {
    ++*static_cast<int*>(user);
    return 0;
}

// A failed call must leave the caller's buffer as it was: output is then
// empty, or says that the buffer was written.
template <typename Call>
Outcome document(Call&& call) {
    Outcome o;
    std::vector<char> out(1 << 16, 'Z');
    char err[512] = "";
    o.status = call(out.data(), static_cast<int>(out.size()), err, static_cast<int>(sizeof err));
    o.err = err;
    if (o.status >= 0) {
        o.output = mask_timestamps(out.data());
    } else if (std::any_of(out.begin(), out.end(), [](char c) { return c != 'Z'; })) {
        o.output = "(the output buffer was written by a failed call)";
    }
    return o;
}

}  // namespace detail

// Every exported function that connects to a meter through an options text.
inline const std::vector<MeterCall>& meter_calls() {
    using namespace detail;
    static const std::vector<MeterCall> calls = {
        {"device_info", Output::Document, [](const Target& t) {
             return document([&](char* out, int n, char* err, int e) {
                 return tandrel_read_device_info(t.host.c_str(), t.meter.c_str(),
                                                 t.options.c_str(), out, n, err, e);
             });
         }},
        {"list_logs", Output::Document, [](const Target& t) {
             return document([&](char* out, int n, char* err, int e) {
                 return tandrel_list_logs(t.host.c_str(), t.meter.c_str(), t.options.c_str(),
                                          out, n, err, e);
             });
         }},
        {"read_live_ex", Output::Document, [](const Target& t) {
             return document([&](char* out, int n, char* err, int e) {
                 return tandrel_read_live_ex(t.host.c_str(), t.meter.c_str(), t.options.c_str(),
                                             out, n, err, e);
             });
         }},
        {"read_points", Output::Document, [](const Target& t) {
             return document([&](char* out, int n, char* err, int e) {
                 return tandrel_read_points(t.host.c_str(), t.meter.c_str(), t.options.c_str(),
                                            "[4352, 5120, \"kWh import\", 3072, 0x0C01]", out, n,
                                            err, e);
             });
         }},
        {"read_datalog", Output::Lines, [](const Target& t) {
             Outcome o;
             char err[512] = "";
             o.status = tandrel_read_datalog(t.host.c_str(), t.meter.c_str(), 1,
                                             t.options.c_str(), collect_line, &o.output, err,
                                             sizeof err);
             o.err = err;
             return o;
         }},
        {"read_eventlog", Output::Lines, [](const Target& t) {
             Outcome o;
             char err[512] = "";
             o.status = tandrel_read_eventlog(t.host.c_str(), t.meter.c_str(), 0,
                                              t.options.c_str(), collect_line, &o.output, err,
                                              sizeof err);
             o.err = err;
             return o;
         }},
        {"export_datalog_ex", Output::Csv, [](const Target& t) {
             Outcome o;
             char err[512] = "";
             o.status = tandrel_export_datalog_ex(t.host.c_str(), t.meter.c_str(), 1,
                                                  t.csv_path.c_str(), t.options.c_str(),
                                                  count_progress, &o.progress_calls, err,
                                                  sizeof err);
             o.err = err;
             o.output = file_bytes(t.csv_path);
             return o;
         }},
        {"export_eventlog_ex", Output::Csv, [](const Target& t) {
             Outcome o;
             char err[512] = "";
             o.status = tandrel_export_eventlog_ex(t.host.c_str(), t.meter.c_str(), 0,
                                                   t.csv_path.c_str(), t.options.c_str(),
                                                   count_progress, &o.progress_calls, err,
                                                   sizeof err);
             o.err = err;
             o.output = file_bytes(t.csv_path);
             return o;
         }},
    };
    return calls;
}

constexpr std::uint16_t DIAG_ADDRESS = 0x3E80;

namespace detail {

// The four files of the bulk export in name order (the names carry the time),
// each followed by a form feed.
inline Outcome em133_all(const Target& t) {
    const std::string dir = t.csv_path + ".d";
    fs::create_directories(dir);
    Outcome o;
    char err[512] = "";
    o.status = tandrel_export_em133_all(t.host.c_str(), 0, 0, dir.c_str(), err, sizeof err);
    o.err = err;
    std::vector<std::string> files;
    for (const auto& entry : fs::directory_iterator(dir)) files.push_back(entry.path().string());
    std::sort(files.begin(), files.end());
    for (const std::string& f : files) o.output += file_bytes(f) + "\f";
    fs::remove_all(dir);
    return o;
}

inline Outcome em235_diagnostics(const Target& t) {
    Outcome o;
    char err[512] = "";
    o.status = tandrel_export_em235_diagnostics(t.host.c_str(), 1, DIAG_ADDRESS + 1, 2, "HI_FIRST",
                                                t.csv_path.c_str(), err, sizeof err);
    o.err = err;
    o.output = file_bytes(t.csv_path) + "\f";
    return o;
}

}  // namespace detail

// The two functions without options: port 502, unit 1, a 30 s time-out.
// Their meter needs data logs 1-3 (em133) or the diagnostics word (em235).
inline const std::vector<MeterCall>& fixed_port_calls() {
    static const std::vector<MeterCall> calls = {
        {"export_em133_all", Output::Files, detail::em133_all},
        {"export_em235_diagnostics", Output::Files, detail::em235_diagnostics},
    };
    return calls;
}

// Small logs, so that a call makes few requests: data log 1 (12 records of
// 4 columns in blocks of 5) and an event log of 7 events.
inline tandrel_sim::DataLogSetup small_datalog(int records) {
    tandrel_sim::DataLogSetup data;
    data.point_ids = {4352, 4353, 5120, 5888};
    data.records = records;
    data.records_per_block = 5;
    return data;
}

inline void install_small_logs(tandrel_sim::Simulator& sim) {
    sim.set_datalog(1, small_datalog(12));
    if (sim.model() == tandrel_sim::Model::EM133) {  // the bulk export reads data logs 1-3
        sim.set_datalog(2, small_datalog(3));
        sim.set_datalog(3, small_datalog(6));
    } else {
        sim.set_diagnostics(DIAG_ADDRESS, 1, 0x1234, 0x8001);
    }
    tandrel_sim::EventLogSetup events;
    events.records_per_block = 5;
    for (int i = 0; i < 7; ++i) {
        tandrel_sim::Event e;
        e.source_id = static_cast<std::uint16_t>(0x0100 + i);
        e.effect_id = static_cast<std::uint16_t>(i);
        e.event_no = static_cast<std::uint16_t>(i + 1);
        e.value = 1000 * i - 3000;
        e.time = 1767225600u + 60u * static_cast<unsigned>(i);
        events.events.push_back(e);
    }
    sim.set_eventlog(events);
}

// keep_requests 0: requests are counted, not kept, so that a long soak does
// not grow the simulator.
inline std::unique_ptr<tandrel_sim::Simulator> start_meter(tandrel_sim::Model model,
                                                           const std::string& address = "127.0.0.1",
                                                           std::uint16_t port = 0,
                                                           std::size_t keep_requests = 0) {
    tandrel_sim::SimOptions o = tandrel_sim::SimOptions::deterministic();
    o.default_logs = false;
    o.request_log_limit = keep_requests;
    auto sim = std::make_unique<tandrel_sim::Simulator>(model, o);
    install_small_logs(*sim);
    sim->start(address, port);
    return sim;
}

inline std::string options_for(const tandrel_sim::Simulator& sim, int timeout_ms) {
    return "{\"port\":" + std::to_string(sim.port()) + ",\"timeout_ms\":" +
           std::to_string(timeout_ms) + "}";
}

}  // namespace hardening
