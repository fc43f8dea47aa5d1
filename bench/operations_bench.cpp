// Whole calls through the C interface against the simulator on loopback:
// what each costs in requests, next to the least number its request sequence
// allows, and in time, to be set against requests x the bare round trip.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "loopback_peer.h"
#include "tandrel.h"

namespace {

using tandrel_sim::Model;

// The setup reads every converting call starts with: EM133 ratio, option and
// energy decimals plus 12 summary registers; EM235 ratio and energy decimals
// plus 16 summary registers.
constexpr double SCALES_EM133 = 3 + 12;
constexpr double SCALES_EM235 = 2 + 16;
constexpr double IDENTIFICATION = 1;
constexpr double RATIO = 1;
constexpr double LIVE_SPANS = 4;  // phase, totals, auxiliary, energies
// A File Info probe is a request write and two reads; the meter's answer to
// the last read tells whether the file exists. Data logs that exist add the
// column layout (variation 2), another three.
constexpr double FILE_INFO = 3;
constexpr int FILES_PROBED = 17;

const char* model_name(Model model) { return model == Model::EM133 ? "em133" : "em235"; }

Model model_of(const benchmark::State& state) {
    return state.range(0) == 133 ? Model::EM133 : Model::EM235;
}

double scales(Model model) { return model == Model::EM133 ? SCALES_EM133 : SCALES_EM235; }

// Runs one call per iteration; a failing call ends the benchmark with its message.
template <typename Call>
void run_call(benchmark::State& state, tandrel_sim::Simulator& sim, double least, Call call) {
    std::vector<char> out(1 << 16);
    char err[256] = {0};
    const bench::RequestCount requests(sim);
    bench::CallTimes times;
    for (auto _ : state) {
        times.start();
        const int status = call(out.data(), static_cast<int>(out.size()), err);
        times.stop();
        if (status < 0) {
            state.SkipWithError(err);
            return;
        }
    }
    times.report(state);
    requests.report(state, least);
}

void BM_DeviceInfo(benchmark::State& state) {
    const Model model = model_of(state);
    tandrel_sim::Simulator& sim = bench::simulator(model);
    const std::string options = bench::options_text(sim.port());
    run_call(state, sim, IDENTIFICATION + scales(model) + RATIO,
             [&](char* out, int len, char* err) {
                 return tandrel_read_device_info(bench::LOOPBACK, model_name(model),
                                                 options.c_str(), out, len, err, 256);
             });
}

void BM_ReadLive(benchmark::State& state) {
    const Model model = model_of(state);
    tandrel_sim::Simulator& sim = bench::simulator(model);
    const std::string options = bench::options_text(sim.port());
    run_call(state, sim, scales(model) + LIVE_SPANS, [&](char* out, int len, char* err) {
        return tandrel_read_live_ex(bench::LOOPBACK, model_name(model), options.c_str(), out,
                                    len, err, 256);
    });
}

// Two points of one family (one span), and one point each of two others.
void BM_ReadPoints(benchmark::State& state) {
    const Model model = model_of(state);
    tandrel_sim::Simulator& sim = bench::simulator(model);
    const std::string options = bench::options_text(sim.port());
    run_call(state, sim, scales(model) + 3, [&](char* out, int len, char* err) {
        return tandrel_read_points(bench::LOOPBACK, model_name(model), options.c_str(),
                                   "[3072, 3104, \"V1\", \"Frequency\"]", out, len, err, 256);
    });
}

// The simulator's default logs: the event log and data logs 1-3 (EM133) or 1-4 (EM235).
void BM_ListLogs(benchmark::State& state) {
    const Model model = model_of(state);
    tandrel_sim::Simulator& sim = bench::simulator(model);
    const std::string options = bench::options_text(sim.port());
    const double data_logs = model == Model::EM133 ? 3 : 4;
    run_call(state, sim, scales(model) + FILE_INFO * (FILES_PROBED + data_logs),
             [&](char* out, int len, char* err) {
                 return tandrel_list_logs(bench::LOOPBACK, model_name(model), options.c_str(),
                                          out, len, err, 256);
             });
}

}  // namespace

BENCHMARK(BM_DeviceInfo)->ArgName("model")->Arg(133)->Arg(235)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReadLive)->ArgName("model")->Arg(133)->Arg(235)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReadPoints)->ArgName("model")->Arg(235)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ListLogs)->ArgName("model")->Arg(133)->Arg(235)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
