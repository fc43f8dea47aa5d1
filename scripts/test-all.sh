#!/usr/bin/env bash
# Installs, builds and runs every test: the native suite, then the further
# stages that exist (sanitizers, the Windows DLL under Wine, fuzz replays).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh --all

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j2
(cd build && ctest --output-on-failure -j2 --timeout 600)

for stage in scripts/stage-*.sh; do
  [[ -e "$stage" ]] || continue
  echo "== $stage"
  bash "$stage"
done
