// tandrel demo: starts the simulated meter in-process on loopback and runs
// every capability against it, printing what a user would see.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <system_error>

#include "commands.h"
#include "library_json.h"
#include "library_call.h"
#include "log_transfer.h"
#include "site_names.h"
#include "platform.h"
#include "sim/default_content.h"
#include "sim/simulator.h"
#include "tandrel.h"

namespace tandrel_cli {
namespace {

struct DemoOptions {
    std::string meter = "em235";
    std::string out_dir;
};

void announce(const std::string& command_line) {
    std::printf("\n$ tandrel %s\n", command_line.c_str());
    std::fflush(stdout);
}

// The first data log that holds records, or 0 when the meter has none.
int first_datalog(Target& target) {
    CallResult result = fetch_document(tandrel_list_logs, target);
    if (result.status < 0) return 0;
    for (const tandrel_site::LogEntry& log : tandrel_site::log_entries(result.text))
        if (log.kind == tandrel_site::LogKind::Datalog && log.file_id > 0 && log.records != 0)
            return log.file_id;
    return 0;
}

// A folder asked for is created as `collect --out` creates its folder, and
// before the first step: a demo that fails at its last step for want of a
// folder has wasted the user's time.
std::string make_out_dir(const std::string& requested) {
    if (requested.empty()) return make_temp_dir("tandrel-demo-");
    std::error_code ec;
    std::filesystem::create_directories(requested, ec);
    if (ec) throw std::runtime_error("Cannot create directory " + requested + ": " + ec.message());
    return requested;
}

// The simulator serves the two register maps; a pm335 is an em235 that says so.
tandrel_sim::Identity identity_of(const std::string& model) {
    tandrel_sim::Identity identity = tandrel_sim::default_identity(
        model == "em133" ? tandrel_sim::Model::EM133 : tandrel_sim::Model::EM235);
    if (model == "pm335") {
        identity.model_id = 335;
        identity.name = "PM335";
    }
    return identity;
}

// The first lines of a CSV file the library wrote, as `head` would show them.
void preview(const std::string& csv_path) {
    std::ifstream in(csv_path);
    std::string line;
    std::printf("\n$ head -4 %s\n", csv_path.c_str());
    for (int n = 0; n < 4 && std::getline(in, line); ++n) std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

int export_and_preview(Target& target, LogKind kind, int file, const std::string& csv) {
    int code = export_log(target, kind, file, csv, false);
    if (code == EXIT_OK) preview(csv);
    return code;
}

// No --meter: the first step learns the model from the meter's identity and
// the others keep it, as one command's calls do.
int run_steps(Target& target, const std::string& endpoint, const std::string& dir) {
    announce("info " + endpoint);
    if (int code = run_info(target, false)) return code;
    announce("read " + endpoint + " V1 \"Total kW\" Frequency");
    if (int code = run_read(target, {"V1", "Total kW", "Frequency"}, false)) return code;
    announce("live " + endpoint);
    if (int code = run_live_once(target, false)) return code;
    announce("logs " + endpoint);
    if (int code = run_logs(target, false)) return code;
    if (int file = first_datalog(target)) {
        std::string csv = dir + "/datalog" + std::to_string(file) + ".csv";
        announce("datalog " + endpoint + " " + std::to_string(file) + " --csv " + csv);
        if (int code = export_and_preview(target, LogKind::Datalog, file, csv)) return code;
    }
    std::string csv = dir + "/events.csv";
    announce("events " + endpoint + " --csv " + csv);
    return export_and_preview(target, LogKind::Eventlog, 0, csv);
}

int run_demo(const DemoOptions& options) {
    std::string dir = make_out_dir(options.out_dir);
    install_interrupt_handler();
    tandrel_sim::Simulator simulator(options.meter == "em133" ? tandrel_sim::Model::EM133
                                                              : tandrel_sim::Model::EM235);
    simulator.set_identity(identity_of(options.meter));
    simulator.start("127.0.0.1", 0);
    std::string endpoint = "127.0.0.1:" + std::to_string(simulator.port());
    std::printf("tandrel %s: simulated %s meter listening on %s\n", tandrel_version(),
                options.meter.c_str(), endpoint.c_str());
    Target target{"127.0.0.1", "", options_text(simulator.port(), -1, 5000), endpoint};
    int code = run_steps(target, endpoint, dir);
    if (code == EXIT_OK)
        std::printf("\nDone. CSV files are in %s; point 'tandrel' at a real meter next, "
                    "e.g. tandrel info 192.0.2.10\n", dir.c_str());
    return code;
}

}  // namespace

CommandRun declare_demo(CLI::App& parent) {
    auto options = std::make_shared<DemoOptions>();
    CLI::App* app = parent.add_subcommand(
        "demo", "Run every command against a simulated meter started on loopback");
    app->add_option("-m,--meter", options->meter, "Simulated model: " + model_names_text())
        ->capture_default_str()
        ->transform(CLI::IsMember(model_names(), CLI::ignore_case));
    app->add_option("--out", options->out_dir, "Directory for the CSV files (default: a new one in the temporary folder)")
        ->type_name("DIR");
    app->footer("Example: tandrel demo --meter em133");
    return [options] { return run_demo(*options); };
}

}  // namespace tandrel_cli
