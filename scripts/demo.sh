#!/usr/bin/env bash
# Installs, builds and runs the main job: `tandrel demo` against the built-in
# simulator. Builds only what the demo runs (the library, the simulator it
# embeds and the tool), in build-demo/; scripts/test-all.sh builds everything.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh --demo
cmake -S . -B build-demo -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTANDREL_BUILD_TESTS=OFF \
  -DTANDREL_BUILD_BENCH=OFF -DTANDREL_BUILD_EXAMPLES=OFF >/dev/null
cmake --build build-demo -j2 --target tandrel_cli
build-demo/tools/cli/tandrel demo "$@"
