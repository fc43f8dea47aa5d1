// The transport side by side: read_words through our client against
// libmodbus's modbus_read_registers making the same requests to the same
// simulator, and the bare loopback round trip that bounds them both.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <stdexcept>
#include <vector>

#include "loopback_peer.h"
#include "modbus/modbus_tcp_client.h"

namespace {

using tandrel_sim::Model;

constexpr std::uint16_t BULK_BASE = 0x4000;  // a plain register range, clear of every family
constexpr int BULK_WORDS = 10000;

tandrel_sim::Simulator& bulk_meter() {
    tandrel_sim::Simulator& sim = bench::simulator(Model::EM235);
    static const bool filled = [&sim] {
        std::vector<std::uint16_t> words(BULK_WORDS);
        for (int i = 0; i < BULK_WORDS; ++i) words[i] = static_cast<std::uint16_t>(i * 7);
        sim.set_registers(BULK_BASE, words);
        return true;
    }();
    (void)filled;
    return sim;
}

double least_requests(int count) { return (count + bench::CHUNK - 1) / bench::CHUNK; }

void BM_ReadWords_Ours(benchmark::State& state) {
    tandrel_sim::Simulator& sim = bulk_meter();
    const auto count = static_cast<std::uint16_t>(state.range(0));
    tandrel::ModbusTcpClient client(bench::LOOPBACK, sim.port(), 1, 5000);
    client.connect();
    const bench::RequestCount requests(sim);
    bench::CallTimes times;
    for (auto _ : state) {
        times.start();
        benchmark::DoNotOptimize(tandrel::read_words(client, BULK_BASE, count));
        times.stop();
    }
    times.report(state);
    requests.report(state, least_requests(count));
    state.SetItemsProcessed(state.iterations() * count);
}

void BM_ReadWords_Libmodbus(benchmark::State& state) {
    tandrel_sim::Simulator& sim = bulk_meter();
    const int count = static_cast<int>(state.range(0));
    bench::PeerClient peer(sim.port());
    const bench::RequestCount requests(sim);
    std::vector<std::uint16_t> words;
    bench::CallTimes times;
    for (auto _ : state) {
        times.start();
        peer.read_words(BULK_BASE, count, words);
        benchmark::DoNotOptimize(words.data());
        times.stop();
    }
    times.report(state);
    requests.report(state, least_requests(count));
    state.SetItemsProcessed(state.iterations() * count);
}

// The floor under every operation: one Modbus frame out, one back, nothing
// built or checked.
void BM_RoundTrip_Raw(benchmark::State& state) {
    tandrel_sim::Simulator& sim = bulk_meter();
    bench::RawSocket sock(sim.port());
    const std::uint8_t request[12] = {0, 1, 0, 0, 0, 6, 1, 3, BULK_BASE >> 8, 0, 0, 1};
    std::uint8_t answer[11];
    const bench::RequestCount requests(sim);
    bench::CallTimes times;
    for (auto _ : state) {
        times.start();
        sock.send_frame(request, sizeof request);
        sock.receive(answer, sizeof answer);
        times.stop();
    }
    times.report(state);
    requests.report(state, 1);
}

// The same frame on a fresh connection each time: what every exported call
// pays once before its first answer (connect, the peer's accept, close).
void BM_ConnectRoundTrip_Raw(benchmark::State& state) {
    tandrel_sim::Simulator& sim = bulk_meter();
    const std::uint8_t request[12] = {0, 1, 0, 0, 0, 6, 1, 3, BULK_BASE >> 8, 0, 0, 1};
    std::uint8_t answer[11];
    const bench::RequestCount requests(sim);
    bench::CallTimes times;
    for (auto _ : state) {
        times.start();
        {
            bench::RawSocket sock(sim.port());
            sock.send_frame(request, sizeof request);
            sock.receive(answer, sizeof answer);
        }
        times.stop();
    }
    times.report(state);
    requests.report(state, 1);
}

}  // namespace

BENCHMARK(BM_RoundTrip_Raw)->MinTime(0.5)->UseRealTime();
BENCHMARK(BM_ConnectRoundTrip_Raw)->MinTime(0.2)->UseRealTime();
BENCHMARK(BM_ReadWords_Ours)->Arg(1)->Arg(120)->Arg(1000)->Arg(10000)
    ->MinTime(0.5)->UseRealTime();
BENCHMARK(BM_ReadWords_Libmodbus)->Arg(1)->Arg(120)->Arg(1000)->Arg(10000)
    ->MinTime(0.5)->UseRealTime();
BENCHMARK_MAIN();
