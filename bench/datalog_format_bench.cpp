// Data-log records decoded and formatted without the network: blocks of 50
// records of 16 columns cut by the transfer's block scan and turned into JSON
// objects or CSV lines. Target: a million records a second on one core.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "logs/datalog_columns.h"
#include "logs/datalog_export.h"
#include "logs/datalog_read.h"
#include "logs/log_transfer.h"
#include "core/time_text.h"

namespace {

constexpr int COLUMNS = 16;
constexpr int PER_BLOCK = 50;
constexpr int WORDS = 8 + 2 * COLUMNS;

// Voltages, currents, powers, power factor, frequency, energy: every
// formatting path of a typical data log.
const std::vector<uint16_t> POINTS = {4352, 4353, 4354, 4355, 4356, 4357, 4358, 4359,
                                      4360, 5120, 5121, 5122, 5123, 3843, 5378, 5888};

tandrel::DatalogColumns layout() {
    tandrel::DataScales scales;
    scales.voltage_decimals = 1;
    scales.current_decimals = 3;
    scales.power_decimals = 3;
    scales.energy_decimals = 1;
    tandrel::DatalogColumns columns(tandrel::MeterModel::EM235, scales);
    columns.point_ids = POINTS;
    columns.resolve(COLUMNS);
    return columns;
}

// One block's words as the data read returns them.
std::vector<uint16_t> block_words(uint16_t first_seq) {
    std::vector<uint16_t> words;
    for (int i = 0; i < PER_BLOCK; ++i) {
        const uint32_t t = 1767225600u + static_cast<uint32_t>(first_seq + i) * 60u;
        const uint32_t us = static_cast<uint32_t>(i) * 19997u;
        words.insert(words.end(), {0, static_cast<uint16_t>(first_seq + i),
                                   static_cast<uint16_t>(t), static_cast<uint16_t>(t >> 16),
                                   static_cast<uint16_t>(us), static_cast<uint16_t>(us >> 16),
                                   static_cast<uint16_t>(i % 20), 0});
        for (int c = 0; c < COLUMNS; ++c) {
            const int32_t raw = (c % 3 == 0 ? -1 : 1) * (2305 + 7919 * i + 104729 * c);
            words.push_back(static_cast<uint16_t>(static_cast<uint32_t>(raw)));
            words.push_back(static_cast<uint16_t>(static_cast<uint32_t>(raw) >> 16));
        }
    }
    return words;
}

template <typename Format>
void run_blocks(benchmark::State& state, Format format) {
    const std::vector<uint16_t> words = block_words(1);
    size_t bytes = 0;
    for (auto _ : state) {
        // A fresh transfer state per block: every record is new.
        tandrel::transfer::State transfer;
        tandrel::transfer::scan_block(transfer, words, PER_BLOCK, WORDS, -1,
                                      [&](const std::vector<uint16_t>& r) { bytes += format(r); });
    }
    state.SetItemsProcessed(state.iterations() * PER_BLOCK);
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
}

void BM_DatalogRecordsToJson(benchmark::State& state) {
    const tandrel::DatalogColumns columns = layout();
    std::string text;
    int no = 0;
    run_blocks(state, [&](const std::vector<uint16_t>& r) {
        text.clear();
        tandrel::append_datalog_record_json(text, ++no, r, columns);
        benchmark::DoNotOptimize(text.data());
        return text.size();
    });
}
BENCHMARK(BM_DatalogRecordsToJson);

void BM_DatalogRecordsToCsv(benchmark::State& state) {
    const tandrel::DatalogColumns columns = layout();
    std::string line;
    int no = 0;
    run_blocks(state, [&](const std::vector<uint16_t>& r) {
        line.clear();
        tandrel::append_datalog_csv_line(line, ++no, r, columns);
        benchmark::DoNotOptimize(line.data());
        return line.size();
    });
}
BENCHMARK(BM_DatalogRecordsToCsv);

// The parts of one record, to see where the time goes.
void BM_DatalogValuesOnly(benchmark::State& state) {
    const tandrel::DatalogColumns columns = layout();
    const std::vector<uint16_t> words = block_words(1);
    const std::vector<uint16_t> record(words.begin(), words.begin() + WORDS);
    std::string text;
    for (auto _ : state) {
        text.clear();
        columns.append_values(text, record, true);
        benchmark::DoNotOptimize(text.data());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DatalogValuesOnly);

void BM_DatalogTimeTexts(benchmark::State& state) {
    std::string text;
    uint32_t seconds = 1767225600u;
    for (auto _ : state) {
        text.clear();
        tandrel::append_iso_utc(text, ++seconds, 123456);
        tandrel::append_hmi_datetime(text, seconds, 123456);
        benchmark::DoNotOptimize(text.data());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DatalogTimeTexts);

}  // namespace

BENCHMARK_MAIN();
