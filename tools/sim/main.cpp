// tandrel-sim: serves a simulated meter until Ctrl-C.
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <mutex>
#include <sstream>
#include <thread>

#include "scenario_json.h"
#include "sim_cli.h"
#include "simulator.h"

namespace {

std::atomic<bool> g_stop{false};

extern "C" void on_signal(int) { g_stop = true; }

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("Cannot read scenario: " + path);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

int run(const tandrel_sim::CliOptions& cli) {
    using namespace tandrel_sim;
    const std::string scenario = cli.scenario.empty() ? "{}" : read_file(cli.scenario);
    ScenarioHead head = read_scenario_head(scenario);
    const Model model = cli.model_given || !head.has_model ? parse_model(cli.model) : head.model;
    if (cli.deterministic) head.options.live = false;
    if (cli.no_default_logs) head.options.default_logs = false;
    head.options.request_log_limit = 0;  // a long-running server keeps no request log
    Simulator sim(model, head.options);
    apply_scenario(scenario, sim);
    std::mutex out_mu;
    if (cli.trace) {
        sim.set_trace([&out_mu](const std::string& line) {
            std::lock_guard<std::mutex> lock(out_mu);
            std::printf("%s\n", line.c_str());
            std::fflush(stdout);
        });
    }
    sim.start(cli.address, cli.port);
    std::printf("tandrel-sim: %s listening on %s:%u (Ctrl-C stops)\n",
                model == Model::EM133 ? "em133" : "em235", cli.address.c_str(),
                static_cast<unsigned>(sim.port()));
    std::fflush(stdout);
    while (!g_stop) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    sim.stop();
    std::printf("tandrel-sim: stopped after %llu requests on %d connections\n",
                static_cast<unsigned long long>(sim.requests_served()), sim.connections_accepted());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::signal(SIGINT, on_signal);
    std::signal(SIGTERM, on_signal);
    try {
        const tandrel_sim::CliOptions cli =
            tandrel_sim::parse_cli(std::vector<std::string>(argv + 1, argv + argc));
        if (cli.help) {
            std::cout << tandrel_sim::help_text();
            return 0;
        }
        return run(cli);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tandrel-sim: %s\n", e.what());
        return 2;
    }
}
