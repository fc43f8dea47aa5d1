// The exported meter calls against the simulated meter, one case per file in
// tests/data/integration/<group>/, a folder per function; a test is named
// <group>_<case>. <case>.case.json is a tandrel-sim scenario that also names
// the call and its status and message; beside it lie the outputs the call must
// give, written out: <case>.json (the document), .jsonl (the streamed
// objects), .requests (what the meter was asked), .log (the log messages) and
// <case>.<file> for every file the call writes. An output without its file
// must be empty: no document, object, request, message or file. The call goes
// through the call table of support/meter_calls.h.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "scenario_json.h"
#include "sim/simulator.h"
#include "support/log_capture.h"
#include "support/meter_calls.h"
#include "support/request_text.h"
#include "support/sim_connections.h"
#include "support/temp_dir.h"
#include "tandrel.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using tandrel::testing::connections_closed;
using tandrel::testing::file_bytes;
using tandrel::testing::requests_text;
using tandrel::testing::without_timestamp;
using tandrel_sim::Request;

const fs::path CASES = fs::path(TANDREL_TEST_DATA_DIR) / "integration";
const std::string CASE = ".case.json";
const std::vector<std::string> OUTPUTS = {CASE, ".json", ".jsonl", ".requests", ".log"};

// Every case as its path below CASES without the suffix ("device_info/em133"), in order.
std::vector<std::string> case_paths() {
    std::vector<std::string> paths;
    for (const auto& entry : fs::recursive_directory_iterator(CASES)) {
        const std::string file = entry.path().filename().string();
        const size_t stem = file.size() - std::min(file.size(), CASE.size());
        if (stem > 0 && file.compare(stem, CASE.size(), CASE) == 0) {
            const fs::path folder = entry.path().parent_path().lexically_relative(CASES);
            paths.push_back((folder / file.substr(0, stem)).generic_string());
        }
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

// "device_info/em133" is the test device_info_em133.
std::string test_name(std::string path) {
    std::replace(path.begin(), path.end(), '/', '_');
    return path;
}

std::string expected(const std::string& path, const std::string& suffix) {
    const fs::path file = CASES / (path + suffix);
    return fs::exists(file) ? file_bytes(file.string()) : std::string();
}

// Values print with a decimal point whatever the host's locale: every case
// runs under one with a decimal comma where the machine has one.
class DecimalCommaLocale {
public:
    DecimalCommaLocale() : saved_(std::setlocale(LC_ALL, nullptr)) {
        for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "German_Germany.1252"}) {
            if (std::setlocale(LC_ALL, name) != nullptr) return;
        }
    }
    ~DecimalCommaLocale() { std::setlocale(LC_ALL, saved_.c_str()); }

private:
    std::string saved_;
};

// One call: its arguments, taken from the case, and what it handed back.
struct Call {
    json args;
    std::string host, meter, csv, out_dir, word_order;
    std::optional<std::string> options, points;
    std::vector<char> out;
    char err[512] = "untouched";
    std::vector<std::string> lines;
    std::vector<std::pair<int, int>> progress;

    int arg(const char* key, int fallback) const { return args.value(key, fallback); }
    const char* opts() const { return options ? options->c_str() : nullptr; }
    size_t stop_at() const { return args.value("stop_at", size_t{0}); }
};

int TANDREL_CALL on_line(const char* text, void* user) {
    auto* c = static_cast<Call*>(user);
    c->lines.emplace_back(text);
    return c->lines.size() == c->stop_at() ? 1 : 0;
}

int TANDREL_CALL on_progress(int done, int total, void* user) {
    auto* c = static_cast<Call*>(user);
    c->progress.emplace_back(done, total);
    return c->progress.size() == c->stop_at() ? 1 : 0;
}

constexpr int ERR = 512;

// The call's arguments in the call table's form; what the case leaves out
// keeps the table's default.
tandrel::testing::Args table_args(Call& c, tandrel::testing::Output output) {
    tandrel::testing::Args a;
    a.host = c.host.c_str();
    a.meter = c.meter.c_str();
    a.options = c.opts();
    a.points = c.points ? c.points->c_str() : nullptr;
    a.word_order = c.word_order.c_str();
    a.path = output == tandrel::testing::Output::Folder ? c.out_dir.c_str() : c.csv.c_str();
    a.file_id = c.arg("file_id", a.file_id);
    a.set_clock = c.arg("set_clock", a.set_clock);
    a.clock_param = c.arg("clock_param", a.clock_param);
    a.unit_id = c.arg("unit_id", a.unit_id);
    a.register_no = c.arg("register_no", a.register_no);
    a.count = c.arg("count", a.count);
    a.out = c.out.data();
    a.out_len = static_cast<int>(c.out.size());
    a.cb = on_line;
    a.progress = on_progress;
    a.user = &c;
    a.err = c.err;
    a.err_len = ERR;
    return a;
}

// A text argument: absent gives the fallback, null a null pointer.
std::optional<std::string> text_arg(const json& args, const char* key,
                                    std::optional<std::string> fallback) {
    if (!args.contains(key)) return fallback;
    if (args[key].is_null()) return std::nullopt;
    return args[key].get<std::string>();
}

// Paths lie in the test's own directory ("missing/out.csv" in one that does
// not exist), devices such as /dev/full are taken as they are.
Call make_call(const json& args, const std::string& meter, std::uint16_t port,
               const std::string& dir) {
    Call c;
    c.args = args;
    c.host = args.value("address", "127.0.0.1");
    c.meter = args.value("meter", meter);
    c.options = text_arg(args, "options",
                         "{\"port\":" + std::to_string(port) + ",\"timeout_ms\":2000}");
    c.points = text_arg(args, "points", std::nullopt);
    const std::string csv = args.value("csv", "out.csv");
    c.csv = csv.rfind("/dev/", 0) == 0 ? csv : dir + "/" + csv;
    c.out_dir = dir + args.value("out_dir", "");
    c.word_order = args.value("word_order", "HI_FIRST");
    c.out.assign(args.value("out_len", size_t{64 * 1024}), 'x');
    return c;
}

// The temporary directory and the export files' time stamps differ from run to run.
std::string normalized(std::string text, const std::string& dir) {
    for (size_t at = text.find(dir); at != std::string::npos; at = text.find(dir, at)) {
        text.replace(at, dir.size(), "{dir}");
    }
    static const std::regex STAMP("\\d{8}_\\d{6}_\\d{3}");
    return std::regex_replace(text, STAMP, "STAMP");
}

// Clock words are the local time of a second within the call, the weekday
// counted from 1 for Sunday.
void expect_local_time(const std::vector<Request>& requests, std::time_t from, std::time_t to) {
    for (const Request& r : requests) {
        if (r.function != 16 || r.address != tandrel_sim::reg::EM133_CLOCK) continue;
        bool matched = false;
        for (std::time_t t = from; t <= to && !matched; ++t) {
            const std::tm l = *std::localtime(&t);
            const int words[] = {l.tm_sec,      l.tm_min,        l.tm_hour,    l.tm_mday,
                                 l.tm_mon + 1, l.tm_year - 100, l.tm_wday + 1};
            matched = std::equal(std::begin(words), std::end(words), r.values.begin(),
                                 r.values.end());
        }
        EXPECT_TRUE(matched) << "the clock words are not the local time of the call";
    }
}

std::string log_text(const tandrel::testing::LogCapture& log) {
    std::string text;
    for (const auto& m : log.at_levels({0, 1, 2, 3})) {
        text += std::to_string(m.level) + " " + m.text + "\n";
    }
    return text;
}

// The files the call left in its directory, and the case's files of that
// name: every data file of the case that is not one of the other outputs.
std::map<std::string, std::string> files_written(const std::string& dir) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(dir)) {
        const std::string name = normalized(entry.path().filename().string(), dir);
        files[name] = file_bytes(entry.path().string());
    }
    return files;
}

std::map<std::string, std::string> files_expected(const std::string& path) {
    std::map<std::string, std::string> files;
    const std::string stem = fs::path(path).filename().string();
    for (const auto& entry : fs::directory_iterator((CASES / path).parent_path())) {
        const std::string file = entry.path().filename().string();
        if (file.rfind(stem + ".", 0) != 0) continue;
        const std::string rest = file.substr(stem.size());
        if (std::find(OUTPUTS.begin(), OUTPUTS.end(), rest) != OUTPUTS.end()) continue;
        files[rest.substr(1)] = file_bytes(entry.path().string());
    }
    return files;
}

class Integration : public ::testing::TestWithParam<std::string> {};

TEST_P(Integration, Case) {
    const std::string path = GetParam();
    const std::string scenario = file_bytes((CASES / (path + CASE)).string());
    const json doc = json::parse(scenario);
    const json& args = doc.at("call");
    const json expect = doc.value("expect", json::object());
#ifdef _WIN32
    if (args.value("csv", "").rfind("/dev/", 0) == 0) GTEST_SKIP() << "no /dev/full";
#endif
    const tandrel_sim::ScenarioHead head = tandrel_sim::read_scenario_head(scenario);
    tandrel_sim::Simulator sim(head.model, head.options);
    tandrel_sim::apply_scenario(scenario, sim);
    const std::string address = args.value("address", "127.0.0.1");
    sim.start(address, address == "127.0.0.1" ? 0 : 502);  // 502 on an address of its own
    const tandrel::testing::TempDir temp;
    const std::string dir = temp.path().string();
    if (args.contains("stale_file")) {
        std::ofstream(dir + "/out.csv") << args["stale_file"].get<std::string>();
    }
    const char* model = head.model == tandrel_sim::Model::EM133 ? "em133" : "em235";
    Call c = make_call(args, model, sim.port(), dir);
    const auto& function = tandrel::testing::meter_call(args.at("function").get<std::string>());

    const tandrel::testing::LogCapture log;
    using std::chrono::system_clock;  // the library's clock; time() may lag it
    const std::time_t before = system_clock::to_time_t(system_clock::now());
    int status = 0;
    {
        const DecimalCommaLocale decimal_comma;
        status = function.run(table_args(c, function.output));
    }
    const std::time_t after = system_clock::to_time_t(system_clock::now());

    EXPECT_EQ(status, expect.value("status", 0));
    EXPECT_EQ(normalized(c.err, dir), expect.value("error", ""));
    const std::string out(c.out.begin(), std::find(c.out.begin(), c.out.end(), '\0'));
    const std::string document = expected(path, ".json");
    EXPECT_EQ(document.empty() ? out : without_timestamp(out),
              document.empty() ? std::string(c.out.size(), 'x') : document);
    std::string lines;
    for (const std::string& line : c.lines) lines += line + "\n";
    EXPECT_EQ(lines, expected(path, ".jsonl"));
    std::vector<std::pair<int, int>> progress;
    if (expect.contains("progress")) {
        for (int done = 1; done <= expect["progress"][0]; ++done) {
            progress.emplace_back(done, expect["progress"][1]);
        }
    }
    EXPECT_EQ(c.progress, progress);
    EXPECT_EQ(files_written(dir), files_expected(path));
    const std::vector<Request> requests = sim.requests();
    EXPECT_EQ(requests_text(requests), expected(path, ".requests"));
    expect_local_time(requests, before, after);
    EXPECT_EQ(normalized(log_text(log), dir), expected(path, ".log"));
    if (expect.contains("connections")) {
        EXPECT_EQ(sim.connections_accepted(), expect["connections"]);
    }
    EXPECT_TRUE(connections_closed(sim)) << "a connection was left open";
}

INSTANTIATE_TEST_SUITE_P(Data, Integration, ::testing::ValuesIn(case_paths()),
                         [](const ::testing::TestParamInfo<std::string>& p) {
                             return test_name(p.param);
                         });

}  // namespace
