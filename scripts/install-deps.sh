#!/usr/bin/env bash
# Installs what building and testing tandrel needs on Debian 12. Packages
# already present are skipped, so a warm machine pays nothing.
#   --demo  only what the demo builds: the library, the simulator and the tool
#   (none)  what the native build and its tests need
#   --all   also the Windows cross build, Wine, clang and lintian for the further stages
set -euo pipefail

demo_packages=(build-essential cmake ninja-build libcli11-dev nlohmann-json3-dev)
packages=("${demo_packages[@]}" pkg-config git
  googletest libgtest-dev libgmock-dev libbenchmark-dev libmodbus-dev mbpoll
  locales valgrind
  python3-pytest            # the Python package's tests
  python3-pandas            # its DataFrames (optional for users, tested here)
  python3-venv python3-pip python3-setuptools  # pip install of the package, offline
  help2man                  # the programs' manual pages, from their --help
  # The .NET binding: mcs compiles it, Mono runs its tests; the JSON reader
  # and the time zone data its tests use
  mono-mcs mono-runtime libmono-system-runtime-serialization4.0-cil tzdata
  # The history stores: SQLite and libpq for the tool, the sqlite3 shell and a
  # PostgreSQL server that the store tests start themselves
  libsqlite3-dev sqlite3 libpq-dev postgresql
  # `serve`: its HTTP listener, and the Prometheus server (with promtool)
  # that its tests start themselves
  libcpp-httplib-dev prometheus
  # The MQTT output: libmosquitto for the tool, a Mosquitto broker and its
  # clients for the tests; Chromium for the status page's test
  libmosquitto-dev mosquitto mosquitto-clients chromium)
case "${1:-}" in
  --demo) packages=("${demo_packages[@]}") ;;
  --all) packages+=(g++-mingw-w64-x86-64-posix wine64 wine clang libclang-rt-14-dev
    lintian) ;;  # lintian checks the Debian packages
esac

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  SUDO=""; [[ $(id -u) -ne 0 ]] && SUDO=sudo
  $SUDO apt-get update -q
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q "${missing[@]}"
fi

[[ "${1:-}" == "--demo" ]] && exit 0

# A locale with a decimal comma, for the test that values print the same under it.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  SUDO=""; [[ $(id -u) -ne 0 ]] && SUDO=sudo
  $SUDO sed -i 's/^# *de_DE.UTF-8 UTF-8/de_DE.UTF-8 UTF-8/' /etc/locale.gen
  $SUDO locale-gen >/dev/null
fi
