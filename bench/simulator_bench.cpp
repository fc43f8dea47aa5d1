// Requests per second the simulator answers on loopback, so that benchmarks
// of the client know the simulator is not their bottleneck (goal: 20,000/s).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "platform/socket.h"
#include "sim/simulator.h"

namespace {

using tandrel::platform::Socket;

Socket connect_to(std::uint16_t port) {
    Socket s;
    std::uint32_t addr = 0;
    tandrel::platform::startup_sockets();
    tandrel::platform::parse_ipv4("127.0.0.1", addr);
    tandrel::platform::connect_tcp(s, addr, port, 5000);
    return s;
}

// One read of `count` registers at `address`, framed by hand; false on failure.
// Reads of more than 26 registers go to the 66-register phase family at 0x3400.
bool read_once(Socket& s, std::uint16_t tid, std::uint16_t address, std::uint16_t count) {
    const std::uint8_t req[12] = {static_cast<std::uint8_t>(tid >> 8), static_cast<std::uint8_t>(tid), 0, 0, 0, 6, 1, 3,
                                  static_cast<std::uint8_t>(address >> 8), static_cast<std::uint8_t>(address),
                                  static_cast<std::uint8_t>(count >> 8), static_cast<std::uint8_t>(count)};
    std::uint8_t buf[7 + 2 + 250];
    if (!s.send_all(req, sizeof req) || !s.recv_exact(buf, 7)) return false;
    const std::size_t rest = static_cast<std::size_t>(buf[4] << 8 | buf[5]) - 1;
    return rest <= sizeof buf - 7 && s.recv_exact(buf + 7, rest) && buf[7] == 3;
}

void BM_SimulatorReads(benchmark::State& state) {
    static tandrel_sim::Simulator* sim = nullptr;
    if (state.thread_index() == 0) {
        tandrel_sim::SimOptions o;
        o.request_log_limit = 0;
        sim = new tandrel_sim::Simulator(tandrel_sim::Model::EM235, o);
        sim->start();
    }
    // Every thread waits at the start barrier of the loop until thread 0 is done.
    Socket s;
    std::uint16_t tid = 0;
    const auto count = static_cast<std::uint16_t>(state.range(0));
    for (auto _ : state) {
        if (!s.valid()) s = connect_to(sim->port());
        if (!read_once(s, ++tid, count > 26 ? 0x3400 : 0xB400, count)) {
            state.SkipWithError("read failed");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations());
    if (state.thread_index() == 0) {
        s.close();
        delete sim;
        sim = nullptr;
    }
}

}  // namespace

BENCHMARK(BM_SimulatorReads)->Arg(26)->Arg(66)->UseRealTime();
BENCHMARK(BM_SimulatorReads)->Arg(26)->Threads(4)->UseRealTime();

BENCHMARK_MAIN();
