#!/usr/bin/env bash
# Builds the benchmarks (Release), runs them against the simulator on
# loopback, measures instructions per record with callgrind, and writes each
# benchmark's Markdown output to bench/results/sections/NAME.md (and the
# Google Benchmark figures to bench/results/latest.json). Not part of the
# test command.
#
#   bash scripts/bench.sh [--readme] [--repetitions N]
#
# --readme then writes every section file between the markers
# <!-- section: NAME --> and <!-- /section: NAME --> of docs/performance.md
# and the bindings' READMEs (bench/doc_sections.py); the prose around them is
# the documents' own. A new benchmark adds its table by printing it (Markdown)
# to its section file below, or, as a bench/*_bench.cpp with a main of its
# own, by printing it alone; then its markers go where the table belongs.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${TANDREL_BENCH_BUILD:-build-bench}
reps=5
readme=0
while [[ $# -gt 0 ]]; do
  case "$1" in
    --readme) readme=1 ;;
    --repetitions) reps=$2; shift ;;
    *) echo "usage: $0 [--readme] [--repetitions N]" >&2; exit 2 ;;
  esac
  shift
done

# The tools are configured for the collect benchmark; only what it names is built.
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTANDREL_BUILD_BENCH=ON \
  -DTANDREL_BUILD_TOOLS=ON -DTANDREL_BUILD_EXAMPLES=OFF >/dev/null
cmake --build "$build" --target bench/all tandrel_cli tandrel-sim -j2
if cmake --build "$build" --target help | grep -q '^dotnet_stream_bench:'; then
  cmake --build "$build" --target dotnet_stream_bench -j2
fi

raw=bench/results/raw
sections=bench/results/sections
rm -rf "$raw" "$sections" && mkdir -p "$raw" "$sections"
# A benchmark with its own main ignores the flags and prints its section
# (Markdown) itself; it takes the program's name without "_bench".
for exe in "$build"/bench/*_bench; do
  name=$(basename "$exe")
  echo "== $name" >&2
  python3 bench/machine_text.py start >"$raw/$name.start"
  "$exe" --benchmark_repetitions="$reps" --benchmark_enable_random_interleaving=true \
    --benchmark_out="$raw/$name.json" --benchmark_out_format=json >"$raw/$name.txt"
  if [[ ! -e "$raw/$name.json" ]]; then
    { cat "$raw/$name.start" "$raw/$name.txt"; python3 bench/machine_text.py end; } \
      >"$sections/${name%_bench}.md"
  fi
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

python3 bench/report.py "$raw" --repetitions "$reps" --json bench/results/latest.json \
  >"$sections/performance.md"

# tandrel collect against 32 meters that answer after a delay: speed-up by --jobs.
echo "== collect_bench" >&2
python3 bench/collect_bench.py --tandrel "$build/tools/cli/tandrel" \
  --sim "$build/tools/sim/tandrel-sim" >"$sections/collect.md"

# tandrel serve polling 1,000 meters that answer after 5 ms: CPU per poll.
echo "== serve_bench" >&2
/usr/bin/python3 bench/serve_bench.py --tandrel "$build/tools/cli/tandrel" \
  --sim "$build/tools/sim/tandrel-sim" >"$sections/serve.md"

# The bindings against the C calls alone, by records per block.
echo "== python_binding_bench" >&2
/usr/bin/python3 bench/python_binding_bench.py --build "$build" >"$sections/python_binding.md"
if [[ -e "$build/bindings/dotnet/dotnet_stream_bench.exe" ]]; then
  echo "== dotnet_stream_bench" >&2
  LD_LIBRARY_PATH="$build/src" mono "$build/bindings/dotnet/dotnet_stream_bench.exe" \
    --sim "$build/tools/sim/tandrel-sim" >"$sections/dotnet_stream.md"
fi

for section in "$sections"/*.md; do
  echo && cat "$section"
done
if [[ $readme == 1 ]]; then
  python3 bench/doc_sections.py --doc docs/performance.md --doc bindings/python/README.md \
    --doc bindings/dotnet/README.md "$sections"/*.md
fi
