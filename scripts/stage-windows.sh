#!/usr/bin/env bash
# Windows stage: cross-compiles tandrel.dll, its tests and the simulator with
# mingw-w64 and runs them as Windows programs under Wine. Keeps one Wine
# session warm for the whole run, since a cold Wine start costs seconds per
# process.
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir=build-windows
jobs=${TANDREL_JOBS:-2}

export WINEDEBUG=-all
export WINEPREFIX=${WINEPREFIX:-/tmp/tandrel-wine}
export WINEARCH=win64
# msvcrt misreads a Linux zone name such as Europe/Berlin; the tests that
# compare local time need both sides to agree.
export TZ=UTC

# The Windows host example talks over loopback to the native simulator that
# the native stage built.
host_sim=()
if [[ -x build/tools/sim/tandrel-sim ]]; then
  host_sim=(-DTANDREL_HOST_SIM="$PWD/build/tools/sim/tandrel-sim")
else
  echo "stage-windows: no native build/tools/sim/tandrel-sim; the host example is built, not run"
fi

# SQLite for the Windows tool's stores: Debian's own source package (a
# deb-src entry for the same archive), made into its one-file amalgamation
# with the native compiler and Tcl, then compiled by the cross build. None of
# it enters the tree. Without it the Windows tool says that stores are not in
# its build.
sqlite_dir=$PWD/$build_dir/sqlite
sqlite_sources() {
  [[ -f $sqlite_dir/sqlite3.c ]] && return 0
  local SUDO=""; [[ $(id -u) -ne 0 ]] && SUDO=sudo
  local list=/etc/apt/sources.list.d/tandrel-deb-src.sources
  if [[ ! -f $list ]]; then
    $SUDO tee "$list" >/dev/null <<'SOURCES'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb-src
URIs: http://deb.debian.org/debian-security
Suites: bookworm-security
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SOURCES
    $SUDO apt-get update -q >/dev/null
  fi
  for p in dpkg-dev tcl; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" ||
      DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q "$p" >/dev/null
  done
  local work=$build_dir/sqlite-work
  rm -rf "$work" && mkdir -p "$work" "$sqlite_dir"
  (cd "$work" && apt-get source -q sqlite3 >/dev/null 2>&1 && mkdir amalgamation &&
     cd amalgamation && ../sqlite3-*/configure --disable-tcl >/dev/null &&
     make sqlite3.c >/dev/null) || return 1
  cp "$work"/amalgamation/sqlite3.c "$work"/amalgamation/sqlite3.h "$sqlite_dir"/
  rm -rf "$work"
}
sqlite_option=()
if sqlite_sources; then
  sqlite_option=(-DTANDREL_SQLITE_SOURCE_DIR="$sqlite_dir")
else
  echo "stage-windows: no SQLite sources from Debian's source package; tandrel.exe is built without stores"
fi

cmake --preset windows -B "$build_dir" "${host_sim[@]}" "${sqlite_option[@]}" >/dev/null
cmake --build "$build_dir" -j"$jobs"

stop_wine() { wineserver -k >/dev/null 2>&1 || true; }
trap stop_wine EXIT
# The server must not inherit CTest's pipes, or CTest waits for it forever.
# It needs the prefix folder to exist; wine fills it on first use.
# A server left persistent by an interrupted run would never exit: end it.
mkdir -p "$WINEPREFIX"
wineserver -k </dev/null >/dev/null 2>&1 || true
wineserver -w </dev/null >/dev/null 2>&1 || true
wineserver -p </dev/null >/dev/null 2>&1
wine cmd /c exit </dev/null >/dev/null 2>&1 || true

# The hardening suite (fault matrix at every request, 64-thread soak) runs in
# the native and sanitizer stages; under Wine it alone would take many
# minutes, and it counts descriptors through /proc, which under Wine are the
# emulator's own. It is still built here. TANDREL_WINE_ALL=1 runs it too.
exclude='^test_hardening$'
[[ "${TANDREL_WINE_ALL:-0}" == 1 ]] && exclude='^$'
ctest --test-dir "$build_dir" --timeout 300 --output-on-failure -E "$exclude"

# The Windows tool reads a SQLite store that the native build wrote: the
# store is in its build, and the file is the same on both systems.
if [[ ${#sqlite_option[@]} -gt 0 && -x build/tests/site/store_writer ]]; then
  store=$(mktemp -d)
  build/tests/site/store_writer "$store/site.db" 2 3 >/dev/null
  # A relative name: the Windows tool takes an argument that starts with '/' for an option.
  exe=$PWD/$build_dir/tools/cli/tandrel.exe
  listing=$(cd "$store" && wine "$exe" history site.db --meter 7 --log 1 --csv | tr -d '\r')
  rm -rf "$store"
  [[ $(grep -c '^2026-12-05T' <<<"$listing") == 6 ]] ||
    { echo "stage-windows: tandrel.exe history did not read the store:"; echo "$listing"; exit 1; }
  echo "stage-windows: tandrel.exe reads a SQLite store"
fi
