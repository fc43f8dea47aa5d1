#!/usr/bin/env bash
# Installs, builds and runs every test: the native suite, then the further
# stages (sanitizers, the Windows DLL under Wine, fuzzing). Each stage says
# how long it took, so the CI budget stays visible.
set -euo pipefail
cd "$(dirname "$0")/.."

started=$SECONDS
stage_done() { echo "== $1 took $((SECONDS - $2)) s (total $((SECONDS - started)) s)"; }

t=$SECONDS
bash scripts/install-deps.sh --all
stage_done "install" "$t"

t=$SECONDS
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j2
stage_done "native build" "$t"

t=$SECONDS
(cd build && ctest --output-on-failure -j2 --timeout 600)
stage_done "native tests" "$t"

for stage in scripts/stage-*.sh; do
  [[ -e "$stage" ]] || continue
  echo "== $stage"
  t=$SECONDS
  bash "$stage"
  stage_done "$stage" "$t"
done
