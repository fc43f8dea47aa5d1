#!/usr/bin/env bash
# Installs, builds and runs the main job: `tandrel demo` against the built-in simulator.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j2
if [[ -x build/tools/cli/tandrel ]]; then
  build/tools/cli/tandrel demo
else
  build/tests/print_version 2>/dev/null || echo "tandrel built: build/src/libtandrel.so"
fi
