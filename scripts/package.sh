#!/usr/bin/env bash
# Builds the release packages into dist/: tandrel-<version>-win64.zip (cross
# built with mingw-w64) and the Debian packages libtandrel1, libtandrel-dev and
# tandrel-tools (version <version>-1). Release builds of the library and the tools only, in
# build-package/ and build-package-windows/.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh --all
jobs=${TANDREL_JOBS:-2}
rm -rf dist && mkdir -p dist
common=(-G Ninja -DCMAKE_BUILD_TYPE=Release -DTANDREL_BUILD_TESTS=OFF -DTANDREL_BUILD_BENCH=OFF
  -DTANDREL_BUILD_EXAMPLES=OFF -DTANDREL_BUILD_TOOLS=ON)

# Dated from the last commit (the Debian changelog, the manual pages), so
# that the packages of one commit are the same.
SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || date +%s)}
export SOURCE_DATE_EPOCH

# Debian's build flags, hardening included, as a package built with
# debhelper gets them (given on the command line: the build folder's cache
# would keep the first configure's environment).
flag() { DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get "$1"; }
cmake -S . -B build-package "${common[@]}" -DCMAKE_INSTALL_PREFIX=/usr \
  -DCMAKE_C_FLAGS="$(flag CPPFLAGS) $(flag CFLAGS)" -DCMAKE_CXX_FLAGS="$(flag CPPFLAGS) $(flag CXXFLAGS)" \
  -DCMAKE_EXE_LINKER_FLAGS="$(flag LDFLAGS)" -DCMAKE_SHARED_LINKER_FLAGS="$(flag LDFLAGS)" >/dev/null
cmake --build build-package -j"$jobs"
(cd build-package && cpack -G DEB)

cmake -S . -B build-package-windows "${common[@]}" \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64.cmake" >/dev/null
cmake --build build-package-windows -j"$jobs"
(cd build-package-windows && cpack -G ZIP)

ls -l dist
