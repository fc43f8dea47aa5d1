// The per-value cost of formatting, against the once-per-column cost of
// resolving: a data log formats every column of every record with one
// ColumnFormat per column.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "meter/value_format.h"

namespace {

using tandrel::ColumnFormat;
using tandrel::DataScales;
using tandrel::MeterModel;

// Currents keep 0 decimals here, so they print as plain integers.
DataScales fine_scales() {
    DataScales s;
    s.voltage_decimals = 1;
    s.energy_decimals = 3;
    return s;
}

// A spread of raw values so that no branch predictor learns one text.
std::vector<int32_t> raw_values() {
    std::vector<int32_t> v;
    uint32_t x = 12345;
    for (int i = 0; i < 1024; ++i) {
        x = x * 1103515245u + 12345u;
        v.push_back(static_cast<int32_t>(x >> 4) - (1 << 26));
    }
    return v;
}

void run_format(benchmark::State& state, uint16_t point_id) {
    const ColumnFormat cf = tandrel::resolve_column(point_id, 1, MeterModel::EM235, fine_scales());
    const std::vector<int32_t> raws = raw_values();
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(tandrel::format_value(raws[i], cf));
        i = (i + 1) & 1023;
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_FormatVoltageOneDecimal(benchmark::State& state) { run_format(state, 4352); }
void BM_FormatEnergyThreeDecimals(benchmark::State& state) { run_format(state, 5888); }
void BM_FormatFrequencyFourDecimals(benchmark::State& state) { run_format(state, 4108); }
void BM_FormatIntegerPath(benchmark::State& state) { run_format(state, 4355); }

void BM_ResolveColumn(benchmark::State& state) {
    const DataScales scales = fine_scales();
    for (auto _ : state) {
        benchmark::DoNotOptimize(tandrel::resolve_column(4352, 1, MeterModel::EM235, scales));
    }
}

BENCHMARK(BM_FormatVoltageOneDecimal);
BENCHMARK(BM_FormatEnergyThreeDecimals);
BENCHMARK(BM_FormatFrequencyFourDecimals);
BENCHMARK(BM_FormatIntegerPath);
BENCHMARK(BM_ResolveColumn);

}  // namespace

BENCHMARK_MAIN();
