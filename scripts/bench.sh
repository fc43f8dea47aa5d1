#!/usr/bin/env bash
# Builds the benchmarks (Release), runs them against the in-process simulator
# on loopback, measures instructions per record with callgrind, prints the
# table and writes bench/results/latest.json. Not part of the test command.
#
#   bash scripts/bench.sh [--readme] [--repetitions N]
#
# --readme also rewrites the benchmark section of docs/performance.md with the table.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${TANDREL_BENCH_BUILD:-build-bench}
reps=5
readme=()
while [[ $# -gt 0 ]]; do
  case "$1" in
    --readme) readme=(--readme docs/performance.md) ;;
    --repetitions) reps=$2; shift ;;
    *) echo "usage: $0 [--readme] [--repetitions N]" >&2; exit 2 ;;
  esac
  shift
done

# The tools are configured for the collect benchmark; only what it names is built.
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTANDREL_BUILD_BENCH=ON \
  -DTANDREL_BUILD_TOOLS=ON -DTANDREL_BUILD_EXAMPLES=OFF >/dev/null
cmake --build "$build" --target bench/all -j2

raw=bench/results/raw
rm -rf "$raw" && mkdir -p "$raw"
# A benchmark with its own main (peak memory in fresh processes) ignores the
# flags; its printed lines go into the table as they are.
for exe in "$build"/bench/*_bench; do
  name=$(basename "$exe")
  echo "== $name" >&2
  "$exe" --benchmark_repetitions="$reps" --benchmark_enable_random_interleaving=true \
    --benchmark_out="$raw/$name.json" --benchmark_out_format=json >"$raw/$name.txt"
done

# Instructions per record, library side only: callgrind counts inside the
# exported call (and what it calls) on the calling thread, so the simulator's
# threads and its set-up stay out of the figure.
callgrind() {  # callgrind <tag> <benchmark filter> <function>
  local out="$raw/callgrind.$1"
  valgrind --tool=callgrind --callgrind-out-file="$out" --toggle-collect="$3" \
    "$build/bench/export_transfer_bench" --benchmark_filter="$2" \
    --benchmark_out="$out.json" --benchmark_out_format=json >/dev/null 2>&1
}
if command -v valgrind >/dev/null && [[ -x "$build/bench/export_transfer_bench" ]]; then
  echo "== callgrind" >&2
  callgrind csv 'BM_ExportDatalog_Ours' 'tandrel_export_datalog_ex'
  callgrind json 'BM_ReadDatalog_Ours' 'tandrel_read_datalog'
fi

python3 bench/report.py "$raw" --repetitions "$reps" --json bench/results/latest.json "${readme[@]}"

# tandrel collect against 32 meters that answer after a delay: speed-up by --jobs.
echo "== collect_bench" >&2
cmake --build "$build" --target tandrel_cli tandrel-sim -j2 >/dev/null
/usr/bin/python3 bench/collect_bench.py --tandrel "$build/tools/cli/tandrel" \
  --sim "$build/tools/sim/tandrel-sim" | tee bench/results/collect.md

# tandrel serve polling 1,000 meters that answer after 5 ms: CPU per poll.
echo "== serve_bench" >&2
/usr/bin/python3 bench/serve_bench.py --tandrel "$build/tools/cli/tandrel" \
  --sim "$build/tools/sim/tandrel-sim" | tee bench/results/serve.md

# The Python package against the C call alone; it needs the simulator of the
# ordinary build (the test command's build/), so it runs only when that exists.
if [[ -x build/tools/sim/tandrel-sim && -e build/src/libtandrel.so.1 ]]; then
  echo "== python_binding_bench" >&2
  /usr/bin/python3 bench/python_binding_bench.py --build build
fi

