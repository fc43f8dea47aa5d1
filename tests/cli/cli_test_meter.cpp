// Simulated meters for the tool's tests and the collect benchmark: each group
// of switches, groups separated by "+", starts one meter in this process.
// Prints "PORT <n>" per meter, in order, once all listen, and serves until
// its standard input closes.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "sim/simulator.h"

namespace {

using namespace tandrel_sim;

struct MeterArgs {
    std::string model = "em235";
    std::string address = "127.0.0.1";
    int port = 0;
    int datalog_records = -1;  // -1: the simulator's default logs
    int events = -1;
    bool unknown_total = false;
    bool no_default_logs = false;
    int block_delay_ms = 0;
    int delay_ms = 0;          // every answer
    int diagnostics_register = 0;
    int close_at_request = 0;  // drops the connection at that request, once
    int silent_at_block_request = 0;  // no answer to the first block read from that request on
};

void define_logs(Simulator& sim, const MeterArgs& args) {
    if (args.datalog_records >= 0) {
        DataLogSetup log;
        log.point_ids = {4352, 4353, 4354, 5120};
        log.records = args.datalog_records;
        log.file_info = !args.unknown_total;
        sim.set_datalog(1, log);
    }
    if (args.events >= 0) {
        EventLogSetup log;
        for (int i = 0; i < args.events; ++i)
            log.events.push_back(Event{0x0100, 0x0200, static_cast<std::uint16_t>(i + 1), i * 10,
                                       1767225600u + static_cast<std::uint32_t>(i) * 60, 0});
        log.file_info = !args.unknown_total;
        sim.set_eventlog(log);
    }
}

// Faults on log blocks leave the identity and the log directory alone.
void add_faults(Simulator& sim, const MeterArgs& args) {
    if (args.block_delay_ms > 0) {
        Fault fault;
        fault.action = FaultAction::Delay;
        fault.delay_ms = args.block_delay_ms;
        fault.at_addresses(reg::BLOCK_HEADER, reg::BLOCK_HEADER).always();
        sim.add_fault(fault);
    }
    // Rules match one request number each: these cover a whole block's requests,
    // so that the first block read from request N on goes unanswered.
    for (int n = args.silent_at_block_request; n > 0 && n < args.silent_at_block_request + 8; ++n)
        sim.add_fault(Fault::silence_at_request(n).at_addresses(reg::BLOCK_HEADER,
                                                                reg::BLOCK_DATA + 125));
    if (args.close_at_request > 0) sim.add_fault(Fault::close_at_request(args.close_at_request));
    if (args.delay_ms > 0) {  // last: the first rule that matches acts, and this one matches all
        Fault fault;
        fault.action = FaultAction::Delay;
        fault.delay_ms = args.delay_ms;
        sim.add_fault(fault.always());
    }
}

std::unique_ptr<Simulator> start_meter(std::vector<std::string> argv) {
    MeterArgs args;
    CLI::App app{"Simulated meter for the command-line tests"};
    app.add_option("--model", args.model);
    app.add_option("--address", args.address);
    app.add_option("--port", args.port);
    app.add_option("--datalog-records", args.datalog_records);
    app.add_option("--events", args.events);
    app.add_flag("--unknown-total", args.unknown_total);
    app.add_flag("--no-default-logs", args.no_default_logs);
    app.add_option("--block-delay-ms", args.block_delay_ms);
    app.add_option("--delay-ms", args.delay_ms);
    app.add_option("--diagnostics-register", args.diagnostics_register);
    app.add_option("--close-at-request", args.close_at_request);
    app.add_option("--silent-at-block-request", args.silent_at_block_request);
    std::reverse(argv.begin(), argv.end());  // CLI11 takes the vector's last item first
    app.parse(argv);

    SimOptions options = SimOptions::deterministic();
    options.default_logs = !args.no_default_logs;
    auto sim = std::make_unique<Simulator>(args.model == "em133" ? Model::EM133 : Model::EM235,
                                           options);
    define_logs(*sim, args);
    add_faults(*sim, args);
    if (args.diagnostics_register > 0)
        sim->set_diagnostics(static_cast<std::uint16_t>(args.diagnostics_register - 1), 1, 0x0001,
                             0x0010);
    sim->start(args.address, static_cast<std::uint16_t>(args.port));
    return sim;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::vector<std::string>> groups(1);
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "+")
            groups.emplace_back();
        else
            groups.back().push_back(argv[i]);
    }
    std::vector<std::unique_ptr<Simulator>> meters;
    try {
        for (const auto& group : groups) meters.push_back(start_meter(group));
    } catch (const std::exception& e) {
        std::printf("ERROR %s\n", e.what());
        return 1;
    }
    for (const auto& meter : meters) std::printf("PORT %u\n", static_cast<unsigned>(meter->port()));
    std::fflush(stdout);
    std::string line;
    while (std::getline(std::cin, line)) {
    }
    for (auto& meter : meters) meter->stop();
    return 0;
}
