#!/usr/bin/env bash
# The native suite again under AddressSanitizer + UndefinedBehaviorSanitizer,
# then the concurrency tests under ThreadSanitizer. Every sanitizer report
# aborts its test, so any report fails the stage.
set -euo pipefail
cd "$(dirname "$0")/.."

export ASAN_OPTIONS=abort_on_error=1:detect_leaks=1:detect_stack_use_after_return=1:strict_string_checks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
# Sanitized code runs a few times slower: a shorter soak keeps the stage short.
export TANDREL_SOAK_SECONDS="${TANDREL_SANITIZER_SOAK_SECONDS:-10}"

common=(-G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTANDREL_BUILD_BENCH=OFF
  -DTANDREL_BUILD_EXAMPLES=OFF -DTANDREL_BUILD_TOOLS=OFF)

echo "-- AddressSanitizer + UndefinedBehaviorSanitizer: whole suite"
cmake -S . -B build-asan "${common[@]}" -DTANDREL_SANITIZE=address
cmake --build build-asan -j2
# build_* checks read the exported symbols of the shipped binary: they say
# nothing about memory and are run by the plain build.
(cd build-asan && ctest --output-on-failure -j2 --timeout 600 -E '^build_')

echo "-- ThreadSanitizer: concurrency tests"
# Kernels with 32 bits of mmap randomisation break TSan's fixed memory layout.
if [[ -r /proc/sys/vm/mmap_rnd_bits ]] && (($(cat /proc/sys/vm/mmap_rnd_bits) > 28)); then
  SUDO=""; [[ $(id -u) -ne 0 ]] && SUDO=sudo
  $SUDO sysctl -q -w vm.mmap_rnd_bits=28 || echo "warning: cannot lower vm.mmap_rnd_bits"
fi
cmake -S . -B build-tsan "${common[@]}" -DTANDREL_SANITIZE=thread
cmake --build build-tsan -j2 --target test_hardening test_core test_session
./build-tsan/tests/test_hardening --gtest_filter='Soak.*:Misuse.LogCallbackSwapped*'
./build-tsan/tests/test_core --gtest_filter='*Log*:*Thread*:*Concurr*'
# Sessions: two threads on one, a close while a call runs, shared connections.
./build-tsan/tests/test_session --gtest_filter='SessionMisuse.*:TwoUnits.*:SharedConnection.*'
