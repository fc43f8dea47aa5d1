// Whole calls through the C interface against the simulator on loopback:
// what each costs in requests, next to the least number its request sequence
// allows, and in time, beside the same frames replayed over a bare socket
// (the floor for that sequence) and requests x the bare round trip.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "loopback_peer.h"
#include "tandrel.h"

namespace {

using tandrel_sim::Model;
using Frame = std::vector<std::uint8_t>;

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
constexpr int ERR_LEN = 256;

const char* model_name(Model model) { return model == Model::EM133 ? "em133" : "em235"; }
double scales(Model model) { return model == Model::EM133 ? SCALES_EM133 : SCALES_EM235; }

using CallFn = int (*)(Model, const char* options, char* out, int len, char* err);

struct Operation {
    const char* name;
    Model model;
    double least_requests;
    CallFn call;
};

int device_info(Model m, const char* options, char* out, int len, char* err) {
    return tandrel_read_device_info(bench::LOOPBACK, model_name(m), options, out, len, err,
                                    ERR_LEN);
}

int read_live(Model m, const char* options, char* out, int len, char* err) {
    return tandrel_read_live_ex(bench::LOOPBACK, model_name(m), options, out, len, err, ERR_LEN);
}

// Two points of one family (one span), and one point each of two others.
int read_points(Model m, const char* options, char* out, int len, char* err) {
    return tandrel_read_points(bench::LOOPBACK, model_name(m), options,
                               "[3072, 3104, \"V1\", \"Frequency\"]", out, len, err, ERR_LEN);
}

int list_logs(Model m, const char* options, char* out, int len, char* err) {
    return tandrel_list_logs(bench::LOOPBACK, model_name(m), options, out, len, err, ERR_LEN);
}

// The simulator's default logs: the event log and data logs 1-3 (EM133) or 1-4 (EM235).
double list_logs_least(Model m) {
    const double data_logs = m == Model::EM133 ? 3 : 4;
    return scales(m) + FILE_INFO * (FILES_PROBED + data_logs);
}

std::vector<Operation> operations() {
    std::vector<Operation> ops;
    for (const Model m : {Model::EM133, Model::EM235}) {
        ops.push_back({"DeviceInfo", m, IDENTIFICATION + scales(m) + RATIO, device_info});
        ops.push_back({"ReadLive", m, scales(m) + LIVE_SPANS, read_live});
        if (m == Model::EM235) ops.push_back({"ReadPoints", m, scales(m) + 3, read_points});
        ops.push_back({"ListLogs", m, list_logs_least(m), list_logs});
    }
    return ops;
}

void run_call(benchmark::State& state, const Operation& op) {
    tandrel_sim::Simulator& sim = bench::simulator(op.model);
    const std::string options = bench::options_text(sim.port());
    std::vector<char> out(1 << 16);
    char err[ERR_LEN] = {0};
    const bench::RequestCount requests(sim);
    bench::CallTimes times;
    for (auto _ : state) {
        times.start();
        const int status = op.call(op.model, options.c_str(), out.data(),
                                   static_cast<int>(out.size()), err);
        times.stop();
        if (status < 0) {
            state.SkipWithError(err);
            return;
        }
    }
    times.report(state);
    requests.report(state, op.least_requests);
}

void put16(Frame& f, std::uint16_t v) {
    f.push_back(static_cast<std::uint8_t>(v >> 8));
    f.push_back(static_cast<std::uint8_t>(v & 0xFF));
}

// The frame the simulator logged, rebuilt byte for byte.
Frame frame_of(const tandrel_sim::Request& r) {
    Frame pdu{r.function};
    put16(pdu, r.address);
    if (r.function == 3) put16(pdu, r.count);
    if (r.function == 6) put16(pdu, r.values.empty() ? 0 : r.values[0]);
    if (r.function == 16) {
        put16(pdu, r.count);
        pdu.push_back(static_cast<std::uint8_t>(r.values.size() * 2));
        for (const std::uint16_t v : r.values) put16(pdu, v);
    }
    Frame f;
    put16(f, r.transaction_id);
    put16(f, 0);
    put16(f, static_cast<std::uint16_t>(pdu.size() + 1));
    f.push_back(r.unit_id);
    f.insert(f.end(), pdu.begin(), pdu.end());
    return f;
}

// The call's request sequence, taken from a meter that keeps its request log.
std::vector<Frame> recorded_frames(const Operation& op) {
    const auto sim = bench::start_simulator(op.model, true);
    std::vector<char> out(1 << 16);
    char err[ERR_LEN] = {0};
    op.call(op.model, bench::options_text(sim->port()).c_str(), out.data(),
            static_cast<int>(out.size()), err);
    std::vector<Frame> frames;
    for (const tandrel_sim::Request& r : sim->requests()) frames.push_back(frame_of(r));
    return frames;
}

// The same frames on a fresh bare connection per iteration: nothing built,
// checked or decoded, so the time is the simulator's and the socket's alone.
void run_replay(benchmark::State& state, const Operation& op) {
    const std::vector<Frame> frames = recorded_frames(op);
    tandrel_sim::Simulator& sim = bench::simulator(op.model);
    Frame answer;
    bench::CallTimes times;
    for (auto _ : state) {
        times.start();
        {
            bench::RawSocket sock(sim.port());
            for (const Frame& f : frames) {
                sock.send_frame(f.data(), f.size());
                if (!sock.receive_frame(answer)) state.SkipWithError("bad answer length");
            }
        }
        times.stop();
    }
    times.report(state);
    state.counters["requests"] = static_cast<double>(frames.size());
}

}  // namespace

int main(int argc, char** argv) {
    static const std::vector<Operation> ops = operations();
    for (const Operation& op : ops) {
        const std::string suffix = op.model == Model::EM133 ? "/model:133" : "/model:235";
        benchmark::RegisterBenchmark(("BM_" + std::string(op.name) + suffix).c_str(),
                                     [&op](benchmark::State& s) { run_call(s, op); })
            ->Unit(benchmark::kMicrosecond)
            ->UseRealTime();
        benchmark::RegisterBenchmark(("BM_Replay_" + std::string(op.name) + suffix).c_str(),
                                     [&op](benchmark::State& s) { run_replay(s, op); })
            ->Unit(benchmark::kMicrosecond)
            ->UseRealTime();
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
