#!/usr/bin/env bash
# Builds the release packages into dist/: tandrel-<version>-win64.zip (cross
# built with mingw-w64) and the Debian packages libtandrel1, libtandrel-dev and
# tandrel-tools. Release builds of the library and the tools only, in
# build-package/ and build-package-windows/.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh --all
jobs=${TANDREL_JOBS:-2}
rm -rf dist && mkdir -p dist
common=(-G Ninja -DCMAKE_BUILD_TYPE=Release -DTANDREL_BUILD_TESTS=OFF -DTANDREL_BUILD_BENCH=OFF
  -DTANDREL_BUILD_EXAMPLES=OFF -DTANDREL_BUILD_TOOLS=ON)

cmake -S . -B build-package "${common[@]}" -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
cmake --build build-package -j"$jobs"
(cd build-package && cpack -G DEB)

cmake -S . -B build-package-windows "${common[@]}" \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64.cmake" >/dev/null
cmake --build build-package-windows -j"$jobs"
(cd build-package-windows && cpack -G ZIP)

ls -l dist
