// The session calls against the simulated meter, one case per file in
// tests/data/session. A case names a case of tests/data/integration (its
// scenario, its call's arguments, its outputs), opens a session on that meter
// and makes the call's session form one or more times. Each time the session
// call must give exactly the plain call's outputs (status, message,
// document, streamed objects, progress, files); <case>.requests holds what
// the meter received, written out: "# open", then the requests of the open,
// then "# <call>" and the requests of each call.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "scenario_json.h"
#include "sim/simulator.h"
#include "support/request_text.h"
#include "support/sim_connections.h"
#include "support/temp_dir.h"
#include "tandrel.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using tandrel::testing::file_bytes;

const fs::path DATA = fs::path(TANDREL_TEST_DATA_DIR);
const std::string CASE = ".case.json";

std::vector<std::string> case_names() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(DATA / "session")) {
        const std::string file = entry.path().filename().string();
        if (file.size() > CASE.size() && file.compare(file.size() - CASE.size(), CASE.size(), CASE) == 0) {
            names.push_back(file.substr(0, file.size() - CASE.size()));
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

// The plain case's file of that suffix, wherever below tests/data/integration
// its folder lies; "" when the case has no such output.
std::string plain_output(const fs::path& plain_case, const std::string& suffix) {
    const std::string stem = plain_case.filename().string();
    const fs::path path = plain_case.parent_path() / (stem.substr(0, stem.size() - CASE.size()) + suffix);
    return fs::exists(path) ? file_bytes(path.string()) : std::string();
}

// An integration case is named after its folder and file: datalog_read/empty
// is "datalog_read_empty", as the integration tests name it.
fs::path find_plain_case(const std::string& name) {
    for (const auto& entry : fs::recursive_directory_iterator(DATA / "integration")) {
        const std::string folder = entry.path().parent_path().filename().string();
        if (folder + "_" + entry.path().filename().string() == name + CASE) return entry.path();
    }
    return {};
}

// What one call handed back.
struct Result {
    int status = 0;
    char err[512] = "";
    std::vector<char> out;
    std::string lines;
    std::vector<std::pair<int, int>> progress;
    size_t stop_at = 0;
};

int TANDREL_CALL on_line(const char* text, void* user) {
    auto* r = static_cast<Result*>(user);
    r->lines += std::string(text) + "\n";
    return std::count(r->lines.begin(), r->lines.end(), '\n') == static_cast<long>(r->stop_at);
}

int TANDREL_CALL on_progress(int done, int total, void* user) {
    auto* r = static_cast<Result*>(user);
    r->progress.emplace_back(done, total);
    return r->progress.size() == r->stop_at ? 1 : 0;
}

// The session form of each plain call, with the plain case's arguments.
Result call_on_session(tandrel_session* s, const json& args, const std::string& csv) {
    Result r;
    r.stop_at = args.value("stop_at", size_t{0});
    r.out.assign(args.value("out_len", size_t{64 * 1024}), 'x');
    const int n = static_cast<int>(r.out.size());
    const std::string function = args.at("function");
    const int file = args.value("file_id", 0);
    const std::string points = args.value("points", "");
    if (function == "read_device_info") {
        r.status = tandrel_session_read_device_info(s, r.out.data(), n, r.err, sizeof r.err);
    } else if (function == "read_live" || function == "read_live_ex") {
        r.status = tandrel_session_read_live(s, r.out.data(), n, r.err, sizeof r.err);
    } else if (function == "read_points") {
        r.status = tandrel_session_read_points(s, points.c_str(), r.out.data(), n, r.err, sizeof r.err);
    } else if (function == "list_logs") {
        r.status = tandrel_session_list_logs(s, r.out.data(), n, r.err, sizeof r.err);
    } else if (function == "read_datalog") {
        r.status = tandrel_session_read_datalog(s, file, on_line, &r, r.err, sizeof r.err);
    } else if (function == "read_eventlog") {
        r.status = tandrel_session_read_eventlog(s, file, on_line, &r, r.err, sizeof r.err);
    } else if (function == "export_datalog_ex") {
        r.status = tandrel_session_export_datalog(s, file, csv.c_str(), on_progress, &r, r.err, sizeof r.err);
    } else if (function == "export_eventlog_ex") {
        r.status = tandrel_session_export_eventlog(s, file, csv.c_str(), on_progress, &r, r.err, sizeof r.err);
    } else {
        ADD_FAILURE() << "no session form of " << function;
    }
    return r;
}

// The open's options: the simulator's port and a 2 s time-out, plus the case's own keys.
std::string open_options(const json& session_case, std::uint16_t port) {
    json options = {{"port", port}, {"timeout_ms", 2000}};
    const json extra = session_case.value("options", json::object());
    for (const auto& [key, value] : extra.items()) options[key] = value;
    return options.dump();
}

void expect_plain_outputs(const Result& r, const fs::path& plain, const json& expect,
                          const tandrel::testing::TempDir& dir) {
    EXPECT_EQ(r.status, expect.value("status", 0));
    EXPECT_EQ(std::string(r.err), expect.value("error", ""));
    const std::string out(r.out.begin(), std::find(r.out.begin(), r.out.end(), '\0'));
    const std::string document = plain_output(plain, ".json");
    EXPECT_EQ(document.empty() ? out : tandrel::testing::without_timestamp(out),
              document.empty() ? std::string(r.out.size(), 'x') : document);
    EXPECT_EQ(r.lines, plain_output(plain, ".jsonl"));
    std::vector<std::pair<int, int>> progress;
    if (expect.contains("progress")) {
        for (int done = 1; done <= expect["progress"][0]; ++done) {
            progress.emplace_back(done, expect["progress"][1]);
        }
    }
    EXPECT_EQ(r.progress, progress);
    if (fs::exists(dir.file("out.csv"))) {
        EXPECT_EQ(file_bytes(dir.file("out.csv")), plain_output(plain, ".out.csv"));
    }
}

class SessionCase : public ::testing::TestWithParam<std::string> {};

TEST_P(SessionCase, SameOutputsFewerRequests) {
    const json session_case = json::parse(file_bytes((DATA / "session" / (GetParam() + CASE)).string()));
    const fs::path plain = find_plain_case(session_case.at("plain"));
    ASSERT_FALSE(plain.empty()) << "no integration case " << session_case.at("plain");
    const std::string scenario = file_bytes(plain.string());
    const json plain_case = json::parse(scenario);
    const json& args = plain_case.at("call");
    const tandrel_sim::ScenarioHead head = tandrel_sim::read_scenario_head(scenario);
    tandrel_sim::Simulator sim(head.model, head.options);
    tandrel_sim::apply_scenario(scenario, sim);
    sim.start();
    const tandrel::testing::TempDir dir;

    const json meter = session_case.value("meter", json(args.value("meter", head.model == tandrel_sim::Model::EM133 ? "em133" : "em235")));
    const std::string meter_text = meter.is_null() ? "" : meter.get<std::string>();
    char err[256] = "";
    tandrel_session* s = tandrel_open("127.0.0.1", meter.is_null() ? nullptr : meter_text.c_str(),
                                      open_options(session_case, sim.port()).c_str(), err, sizeof err);
    ASSERT_NE(s, nullptr) << err;
    std::string requests = "# open\n" + tandrel::testing::requests_text(sim.requests());
    for (int i = 0; i < session_case.value("calls", 1); ++i) {
        sim.clear_requests();
        const Result r = call_on_session(s, args, dir.file("out.csv"));
        expect_plain_outputs(r, plain, plain_case.value("expect", json::object()), dir);
        requests += "# " + args.at("function").get<std::string>() + "\n" +
                    tandrel::testing::requests_text(sim.requests());
    }
    tandrel_close(s);
    EXPECT_EQ(requests, file_bytes((DATA / "session" / (GetParam() + ".requests")).string()));
    EXPECT_EQ(sim.connections_accepted(), 1);
    EXPECT_TRUE(tandrel::testing::connections_closed(sim)) << "close left the connection open";
}

INSTANTIATE_TEST_SUITE_P(Data, SessionCase, ::testing::ValuesIn(case_names()),
                         [](const ::testing::TestParamInfo<std::string>& p) { return p.param; });

}  // namespace
