#!/usr/bin/env bash
# Builds the libFuzzer harnesses with clang (ASan + UBSan) and fuzzes each
# for a bounded time, starting from the corpus kept in tests/fuzz/corpus.
# A crash, a sanitizer report or a broken harness invariant fails the stage;
# the input is left in build-fuzz/artifacts. (The corpus itself is replayed
# by the normal suite as test_fuzz_replay.)
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${TANDREL_FUZZ_SECONDS:-40}"
harnesses=(options point_list device_info point_reading log_directory datalog eventlog)

export ASAN_OPTIONS=abort_on_error=1:detect_leaks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link -DTANDREL_SANITIZE=address \
  -DTANDREL_BUILD_FUZZ=ON -DTANDREL_BUILD_TESTS=OFF -DTANDREL_BUILD_TOOLS=OFF \
  -DTANDREL_BUILD_BENCH=OFF -DTANDREL_BUILD_EXAMPLES=OFF
cmake --build build-fuzz -j2 --target "${harnesses[@]/#/fuzz_}"

mkdir -p build-fuzz/artifacts
for h in "${harnesses[@]}"; do
  scratch="build-fuzz/scratch/$h"
  rm -rf "$scratch" && mkdir -p "$scratch"
  echo "-- fuzz_$h for ${seconds}s"
  # New inputs go to the scratch folder; the checked-in corpus is only read.
  log="build-fuzz/scratch/$h.log"
  status=0
  build-fuzz/tests/fuzz/fuzz_$h -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="build-fuzz/artifacts/$h-" \
    "$scratch" "tests/fuzz/corpus/$h" >"$log" 2>&1 || status=$?
  grep -E '^(Done|stat::number_of_executed_units)' "$log" || true
  if ((status != 0)); then
    tail -n 60 "$log"
    echo "fuzz_$h found a failing input (see build-fuzz/artifacts)"
    exit 1
  fi
done
