#!/usr/bin/env bash
# An installed tandrel as its user meets it: the tool runs and loads the
# library that pkg-config names, and the README's C example builds with
# pkg-config alone and reads the installed simulator. Used for a prefix
# install (ctest build_install_prefix) and for the Debian packages
# (scripts/stage-packages.sh). The caller decides the loader's environment.
# Usage: check_install.sh BINDIR PKGCONFIG_DIR
set -euo pipefail
bin=$1 pcdir=$2
readme="$(dirname "$0")/../../README.md"
work=$(mktemp -d)
sim_pid=""
cleanup() {
  [[ -n "$sim_pid" ]] && kill "$sim_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "check_install: $*" >&2; exit 1; }
pc() { PKG_CONFIG_LIBDIR="$pcdir" PKG_CONFIG_PATH="" pkg-config "$@" tandrel; }

# The release, then the library's interface version (tests/cli checks both).
shown=$("$bin/tandrel" --version) || fail "$bin/tandrel does not start"
[[ "$shown" =~ ^tandrel\ [0-9]+\.[0-9]+\.[0-9]+\ \(library\ [0-9]+\.[0-9]+\.[0-9]+\)$ ]] ||
  fail "tandrel --version says '$shown'"
"$bin/tandrel" points >"$work/points" || fail "tandrel points failed"
grep -Eq '^ *3072 +0x0C00 +V1 ' "$work/points" || fail "tandrel points printed: $(head -3 "$work/points")"

# The library the tool loads is the one beside the pkg-config file, not a
# copy in the build tree or the system.
libdir=$(realpath "$(pc --variable=libdir)")
loaded=$(ldd "$bin/tandrel" | sed -n 's/^\s*libtandrel\.so\.1 => \(\S*\).*/\1/p')
[[ -n "$loaded" && "$(realpath "$loaded")" == "$libdir/"* ]] ||
  fail "tandrel loads '$loaded', not the library in $libdir: $(ldd "$bin/tandrel" | grep tandrel)"
[[ -f "$(pc --variable=includedir)/tandrel.h" ]] || fail "no tandrel.h where tandrel.pc points"

"$bin/tandrel-sim" --deterministic --port 0 >"$work/sim.out" &
sim_pid=$!
for _ in $(seq 100); do grep -q listening "$work/sim.out" && break; sleep 0.1; done
port=$(sed -n 's/.*listening on 127\.0\.0\.1:\([0-9]*\).*/\1/p' "$work/sim.out")
[[ -n "$port" ]] || fail "the installed tandrel-sim did not start: $(cat "$work/sim.out")"

# The README's C example, pointed at that simulator.
sed -n '/^```c$/,/^```$/p' "$readme" | sed '1d;$d' |
  sed "s/\"192\.0\.2\.10\"/\"127.0.0.1\"/; s/{\\\\\"timeout_ms\\\\\":5000}/{\\\\\"port\\\\\":$port,\\\\\"timeout_ms\\\\\":5000}/" \
  >"$work/example.c"
grep -q "\"port\\\\\":$port" "$work/example.c" || fail "the README's example changed shape"
# shellcheck disable=SC2046  # pkg-config's flags are words
cc -o "$work/example" "$work/example.c" $(pc --cflags --libs) -Wl,-rpath,"$libdir" ||
  fail "the README's example does not build with: $(pc --cflags --libs)"
out=$("$work/example")
[[ "$out" == '{"meter":"em235","host":"127.0.0.1","model_name":"EM235",'* ]] ||
  fail "the README's example printed: $out"
echo "check_install: the tool runs from $bin and the README's example builds with pkg-config"
