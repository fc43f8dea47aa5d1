// A data-log export end to end: tandrel_export_datalog_ex against the
// in-process simulator over loopback, 20,000 records of 16 columns in blocks
// of 50. Reports records per second and the requests each block costs.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "sim/simulator.h"
#include "tandrel.h"

namespace {

constexpr int FILE_NO = 1;
constexpr int RECORDS = 20000;
constexpr int PER_BLOCK = 50;
constexpr int BLOCKS = RECORDS / PER_BLOCK;

const std::vector<uint16_t> POINTS = {4352, 4353, 4354, 4355, 4356, 4357, 4358, 4359,
                                      4360, 5120, 5121, 5122, 5123, 3843, 5378, 5888};

tandrel_sim::Simulator& meter() {
    static tandrel_sim::Simulator sim = [] {
        tandrel_sim::SimOptions options = tandrel_sim::SimOptions::deterministic();
        options.default_logs = false;
        options.request_log_limit = 0;
        return tandrel_sim::Simulator(tandrel_sim::Model::EM235, options);
    }();
    return sim;
}

void BM_ExportDatalogOverLoopback(benchmark::State& state) {
    tandrel_sim::Simulator& sim = meter();
    static const bool started = [&sim] {
        tandrel_sim::DataLogSetup log_setup;
        log_setup.point_ids = POINTS;
        log_setup.records = RECORDS;
        log_setup.records_per_block = PER_BLOCK;
        log_setup.interval_s = 60;
        log_setup.value = [](int record, int column) { return record * 7919 - column * 104729; };
        sim.set_datalog(FILE_NO, log_setup);
        sim.start("127.0.0.1", 0);
        return true;
    }();
    (void)started;
    const std::string options = "{\"port\":" + std::to_string(sim.port()) + "}";
    const std::string path = "tandrel-datalog-bench.csv";
    char err[256] = {0};
    const uint64_t before = sim.requests_served();
    for (auto _ : state) {
        const int n = tandrel_export_datalog_ex("127.0.0.1", "em235", FILE_NO, path.c_str(),
                                                options.c_str(), nullptr, nullptr, err, sizeof err);
        if (n != RECORDS) {
            state.SkipWithError(n < 0 ? err : "short export");
            break;
        }
    }
    std::remove(path.c_str());
    const double per_call =
        static_cast<double>(sim.requests_served() - before) / static_cast<double>(state.iterations());
    state.counters["requests_per_call"] = per_call;
    state.counters["blocks"] = BLOCKS;
    // Everything but the blocks is set-up: scales, File Info twice, select.
    state.counters["requests_per_block"] = static_cast<int>(per_call) / BLOCKS;
    state.SetItemsProcessed(state.iterations() * RECORDS);
}
BENCHMARK(BM_ExportDatalogOverLoopback)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
