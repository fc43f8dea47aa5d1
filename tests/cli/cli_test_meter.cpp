// A simulated meter for the tool's tests: started with a few switches, prints
// "PORT <n>" once it listens and serves until its standard input closes.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <iostream>
#include <string>

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
    int block_delay_ms = 0;
    int diagnostics_register = 0;
    int close_at_request = 0;  // drops the connection at that request, once
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

// Slows every block of a log transfer, so that a test can interrupt one.
void slow_blocks(Simulator& sim, int delay_ms) {
    Fault fault;
    fault.action = FaultAction::Delay;
    fault.delay_ms = delay_ms;
    fault.at_addresses(reg::BLOCK_HEADER, reg::BLOCK_HEADER).always();
    sim.add_fault(fault);
}

}  // namespace

int main(int argc, char** argv) {
    MeterArgs args;
    CLI::App app{"Simulated meter for the command-line tests"};
    app.add_option("--model", args.model);
    app.add_option("--address", args.address);
    app.add_option("--port", args.port);
    app.add_option("--datalog-records", args.datalog_records);
    app.add_option("--events", args.events);
    app.add_flag("--unknown-total", args.unknown_total);
    app.add_option("--block-delay-ms", args.block_delay_ms);
    app.add_option("--diagnostics-register", args.diagnostics_register);
    app.add_option("--close-at-request", args.close_at_request);
    CLI11_PARSE(app, argc, argv);

    Simulator sim(args.model == "em133" ? Model::EM133 : Model::EM235, SimOptions::deterministic());
    define_logs(sim, args);
    if (args.block_delay_ms > 0) slow_blocks(sim, args.block_delay_ms);
    if (args.close_at_request > 0) sim.add_fault(Fault::close_at_request(args.close_at_request));
    if (args.diagnostics_register > 0)
        sim.set_diagnostics(static_cast<std::uint16_t>(args.diagnostics_register - 1), 1, 0x0001,
                            0x0010);
    try {
        sim.start(args.address, static_cast<std::uint16_t>(args.port));
    } catch (const std::exception& e) {
        std::printf("ERROR %s\n", e.what());
        return 1;
    }
    std::printf("PORT %u\n", static_cast<unsigned>(sim.port()));
    std::fflush(stdout);
    std::string line;
    while (std::getline(std::cin, line)) {
    }
    sim.stop();
    return 0;
}
