// A whole data-log transfer, 60,000 records of 16 columns in blocks of 10:
// tandrel_export_datalog_ex writing CSV against a libmodbus reference that
// makes the same request sequence and only counts the bytes. The gap between
// the two is what decoding, formatting and writing cost beyond the transport.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <unistd.h>

#include "loopback_peer.h"
#include "tandrel.h"

namespace {

using tandrel_sim::Model;
namespace reg = tandrel_sim::reg;

constexpr int FILE_NO = 1;
constexpr int RECORDS = 60000;
constexpr int PER_BLOCK = 10;
constexpr int COLUMNS = 16;
constexpr std::uint16_t EOF_FLAG = 0x0001;
// Scales (2 + 16 summary reads), the column layout (File Info variation 2:
// 3) and readying the file (select + File Info variation 0: 4).
constexpr int SETUP_REQUESTS = 18 + 3 + 4;
// Present, header, 400 words in 120-register reads (4), acknowledge.
constexpr int BLOCK_REQUESTS = 1 + 1 + 4 + 1;

const std::vector<std::uint16_t> POINTS = {4352, 4353, 4354, 4355, 4356, 4357, 4358, 4359,
                                           4360, 5120, 5121, 5122, 5123, 5378, 5888, 5889};

tandrel_sim::DataLogSetup big_log(int records, int per_block) {
    tandrel_sim::DataLogSetup log_setup;
    log_setup.point_ids = POINTS;
    log_setup.records = records;
    log_setup.records_per_block = per_block;
    log_setup.interval_s = 60;
    log_setup.first_time = 1767225600u - static_cast<std::uint32_t>(records) * 60u;
    return log_setup;
}

tandrel_sim::Simulator& log_meter() {
    tandrel_sim::Simulator& sim = bench::simulator(Model::EM235);
    static const bool loaded = [&sim] {
        sim.set_datalog(FILE_NO, big_log(RECORDS, PER_BLOCK));
        return true;
    }();
    (void)loaded;
    return sim;
}

std::string csv_path() { return "/tmp/tandrel-bench-" + std::to_string(::getpid()) + ".csv"; }

void BM_ExportDatalog_Ours(benchmark::State& state) {
    tandrel_sim::Simulator& sim = log_meter();
    const std::string options = bench::options_text(sim.port());
    const std::string path = csv_path();
    char err[256] = {0};
    const bench::RequestCount requests(sim);
    for (auto _ : state) {
        const int n = tandrel_export_datalog_ex(bench::LOOPBACK, "em235", FILE_NO, path.c_str(),
                                                options.c_str(), nullptr, nullptr, err, sizeof err);
        if (n != RECORDS) {
            state.SkipWithError(n < 0 ? err : "short export");
            break;
        }
    }
    std::remove(path.c_str());
    requests.report(state, SETUP_REQUESTS + BLOCK_REQUESTS * (RECORDS / PER_BLOCK));
    state.SetItemsProcessed(state.iterations() * RECORDS);
}

int count_bytes(const char* json, void* user) {
    *static_cast<std::size_t*>(user) += std::strlen(json);
    return 0;
}

// The same file streamed as JSON objects to a callback that only counts bytes.
void BM_ReadDatalog_Ours(benchmark::State& state) {
    tandrel_sim::Simulator& sim = log_meter();
    const std::string options = bench::options_text(sim.port());
    char err[256] = {0};
    std::size_t bytes = 0;
    const bench::RequestCount requests(sim);
    for (auto _ : state) {
        const int n = tandrel_read_datalog(bench::LOOPBACK, "em235", FILE_NO, options.c_str(),
                                           count_bytes, &bytes, err, sizeof err);
        if (n != RECORDS) {
            state.SkipWithError(n < 0 ? err : "short read");
            break;
        }
    }
    benchmark::DoNotOptimize(bytes);
    requests.report(state, SETUP_REQUESTS + BLOCK_REQUESTS * (RECORDS / PER_BLOCK));
    state.SetItemsProcessed(state.iterations() * RECORDS);
}

// The set-up requests of the export, in its order, answers unread but counted.
std::size_t reference_setup(bench::PeerClient& peer, std::vector<std::uint16_t>& words) {
    std::size_t bytes = 0;
    auto read = [&](std::uint16_t address, int count) {
        peer.read_words(address, count, words);
        bytes += words.size() * 2;
    };
    read(reg::EM235_PT_RATIO, 1);
    read(reg::EM235_ENERGY_DECIMALS, 1);
    for (int i = 0; i < 16; ++i) read(static_cast<std::uint16_t>(reg::SUMMARY_SETUP + 4 * i), 4);
    peer.write_registers(reg::FILE_INFO_REQUEST, {9, FILE_NO, 0, 0, 0, 2, 0, 0});
    read(reg::FILE_INFO_STATUS, 8);
    read(reg::FILE_INFO_RESPONSE, 18);
    peer.write_registers(reg::FILE_COMMAND, {5, FILE_NO, 0, 0});
    peer.write_registers(reg::FILE_INFO_REQUEST, {9, FILE_NO, 0, 0, 0, 0, 0, 0});
    read(reg::FILE_INFO_STATUS, 8);
    read(reg::FILE_INFO_RESPONSE, 14);
    return bytes;
}

// One block: present, header, data, acknowledge. False once the file ended.
bool reference_block(bench::PeerClient& peer, std::vector<std::uint16_t>& words,
                     std::size_t& bytes, int& records) {
    peer.write_registers(reg::FILE_COMMAND, {11, FILE_NO, 0, 0, 0, 0});
    peer.read_words(reg::BLOCK_HEADER, 8, words);
    const int count = words[4];
    const int size = words[5];
    if (count == 0 || size < 8) return false;
    peer.read_words(reg::BLOCK_DATA, count * size, words);
    bytes += words.size() * 2;
    records += count;
    const bool last = (words[static_cast<std::size_t>((count - 1) * size)] & EOF_FLAG) != 0;
    peer.write_register(reg::FILE_COMMAND, 1);
    return !last && records < RECORDS;
}

void BM_ExportDatalog_Libmodbus(benchmark::State& state) {
    tandrel_sim::Simulator& sim = log_meter();
    std::vector<std::uint16_t> words;
    const bench::RequestCount requests(sim);
    std::size_t bytes = 0;
    for (auto _ : state) {
        bench::PeerClient peer(sim.port());
        bytes = reference_setup(peer, words);
        int records = 0;
        while (reference_block(peer, words, bytes, records)) {
        }
        if (records != RECORDS) {
            state.SkipWithError("short transfer");
            break;
        }
    }
    benchmark::DoNotOptimize(bytes);
    requests.report(state, SETUP_REQUESTS + BLOCK_REQUESTS * (RECORDS / PER_BLOCK));
    state.SetItemsProcessed(state.iterations() * RECORDS);
}

// Requests from one block's presentation to the next, as the simulator logged them.
std::vector<int> requests_per_block(const std::vector<tandrel_sim::Request>& log) {
    std::vector<int> blocks;
    for (const tandrel_sim::Request& r : log) {
        const bool present = r.function == 16 && r.address == reg::FILE_COMMAND &&
                             !r.values.empty() && r.values[0] == 11;
        if (present) blocks.push_back(0);
        if (!blocks.empty()) ++blocks.back();
    }
    return blocks;
}

// One data-log block on its own: a 100-record log exported once on a meter
// that keeps its request log; the heaviest block is reported.
void BM_DatalogBlockRequests(benchmark::State& state) {
    const auto sim = bench::start_simulator(Model::EM235, true);
    sim->set_datalog(FILE_NO, big_log(100, PER_BLOCK));
    const std::string options = bench::options_text(sim->port());
    const std::string path = csv_path();
    char err[256] = {0};
    for (auto _ : state) {
        if (tandrel_export_datalog_ex(bench::LOOPBACK, "em235", FILE_NO, path.c_str(),
                                      options.c_str(), nullptr, nullptr, err, sizeof err) < 0) {
            state.SkipWithError(err);
        }
    }
    std::remove(path.c_str());
    int heaviest = 0;
    for (const int n : requests_per_block(sim->requests())) heaviest = n > heaviest ? n : heaviest;
    state.counters["requests"] = heaviest;
    state.counters["least_requests"] = BLOCK_REQUESTS;
}

}  // namespace

BENCHMARK(BM_DatalogBlockRequests)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportDatalog_Ours)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_ExportDatalog_Libmodbus)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_ReadDatalog_Ours)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK_MAIN();
