#!/usr/bin/env bash
# Release packages stage: builds them with scripts/package.sh, then uses them
# as a user would. The Windows zip is unpacked into an empty folder and its
# tandrel.exe runs from there under Wine (--version, then the demo), which
# proves the zip is self-contained. The Debian packages are checked for their
# dependencies and files, installed with dpkg into a throw-away root, and the
# README's C example is compiled against that tree with pkg-config and run
# against the installed tandrel-sim.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/package.sh
version=$(sed -n 's/^project(tandrel VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
work=$(mktemp -d)
sim_pid=""
cleanup() {
  [[ -n "$sim_pid" ]] && kill "$sim_pid" 2>/dev/null || true
  wineserver -k >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "stage-packages: $*" >&2; exit 1; }

echo "-- the Windows zip, unpacked into an empty folder"
export WINEDEBUG=-all WINEPREFIX=${WINEPREFIX:-/tmp/tandrel-wine} WINEARCH=win64 TZ=UTC
mkdir -p "$WINEPREFIX" "$work/zip"
wineserver -p </dev/null >/dev/null 2>&1 || true
(cd "$work/zip" && cmake -E tar xf "$OLDPWD/dist/tandrel-$version-win64.zip")
bin="$work/zip/tandrel-$version-win64/bin"
for f in tandrel.dll tandrel.exe tandrel-sim.exe; do [[ -f "$bin/$f" ]] || fail "zip lacks bin/$f"; done
for f in include/tandrel.h lib/libtandrel.dll.a lib/tandrel.def README.md LICENSE \
    bindings/python/pyproject.toml bindings/dotnet/src/Meter.cs; do
  [[ -f "$work/zip/tandrel-$version-win64/$f" ]] || fail "zip lacks $f"
done
shown=$(wine "$bin/tandrel.exe" --version | tr -d '\r')
[[ "$shown" == "tandrel $version" ]] || fail "tandrel.exe --version says '$shown'"
cmake "-DDEMO=wine;$bin/tandrel.exe" -DWORK="$work/zip-demo" -P tests/build/check_demo.cmake

echo "-- the Debian packages"
deb() { echo "dist/${1}_${version}_amd64.deb"; }
depends() { dpkg-deb -f "$(deb "$1")" Depends; }
[[ "$(depends libtandrel1)" == *libc6* && "$(depends libtandrel1)" == *libstdc++6* ]] ||
  fail "libtandrel1 depends on '$(depends libtandrel1)'"
for p in libtandrel-dev tandrel-tools; do
  [[ "$(depends $p)" == *"libtandrel1 (= $version)"* ]] || fail "$p depends on '$(depends $p)'"
done
files() { dpkg-deb -c "$(deb "$1")" | awk '{print $6}'; }
expect_files() {  # package, then files it must hold
  local p=$1; shift
  local list; list=$(files "$p")
  for f in "$@"; do grep -qx "./$f" <<<"$list" || fail "$p lacks /$f"; done
}
lib=usr/lib/x86_64-linux-gnu
expect_files libtandrel1 "$lib/libtandrel.so.$version" "$lib/libtandrel.so.1" \
  usr/share/doc/libtandrel1/copyright
expect_files libtandrel-dev usr/include/tandrel.h "$lib/libtandrel.so" "$lib/pkgconfig/tandrel.pc" \
  "$lib/cmake/tandrel/tandrelConfig.cmake" usr/share/doc/libtandrel-dev/copyright
expect_files tandrel-tools usr/bin/tandrel usr/bin/tandrel-sim \
  usr/share/bash-completion/completions/tandrel usr/share/doc/tandrel-tools/copyright

root="$work/root"
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
touch "$root/var/lib/dpkg/status" "$root/var/lib/dpkg/available"
# The throw-away root has no C library of its own: only those dependencies may be missing.
dpkg --force-not-root --force-script-chrootless --force-depends --instdir="$root" \
  --admindir="$root/var/lib/dpkg" --log="$work/dpkg.log" -i "$(deb libtandrel1)" \
  "$(deb libtandrel-dev)" "$(deb tandrel-tools)" >"$work/dpkg.out" 2>&1 ||
  { cat "$work/dpkg.out"; fail "dpkg -i failed"; }
if grep -E "Package libtandrel1 is not|Version of libtandrel1" "$work/dpkg.out"; then
  fail "our packages do not satisfy each other"
fi
for p in libtandrel1 libtandrel-dev tandrel-tools; do
  status=$(dpkg-query --admindir="$root/var/lib/dpkg" -W -f='${Status}' "$p")
  [[ "$status" == "install ok installed" ]] || fail "$p: $status"
done

export LD_LIBRARY_PATH="$root/$lib"
shown=$("$root/usr/bin/tandrel" --version)
[[ "$shown" == "tandrel $version" ]] || fail "tandrel --version says '$shown'"

# The README's C example, pointed at the installed simulator.
"$root/usr/bin/tandrel-sim" --deterministic --port 0 >"$work/sim.out" &
sim_pid=$!
for _ in $(seq 100); do grep -q listening "$work/sim.out" && break; sleep 0.1; done
port=$(sed -n 's/.*listening on 127\.0\.0\.1:\([0-9]*\).*/\1/p' "$work/sim.out")
[[ -n "$port" ]] || fail "the installed tandrel-sim did not start: $(cat "$work/sim.out")"
sed -n '/^```c$/,/^```$/p' README.md | sed '1d;$d' |
  sed "s/\"192\.0\.2\.10\"/\"127.0.0.1\"/; s/{\\\\\"timeout_ms\\\\\":5000}/{\\\\\"port\\\\\":$port,\\\\\"timeout_ms\\\\\":5000}/" \
  >"$work/example.c"
grep -q "\"port\\\\\":$port" "$work/example.c" || fail "the README's example changed shape"
flags=$(PKG_CONFIG_SYSROOT_DIR="$root" PKG_CONFIG_LIBDIR="$root/$lib/pkgconfig" \
  pkg-config --cflags --libs tandrel)
cc -o "$work/example" "$work/example.c" $flags
out=$("$work/example")
[[ "$out" == '{"meter":"em235","host":"127.0.0.1","model_name":"EM235",'* ]] ||
  fail "the README's example printed: $out"
echo "stage-packages: the zip runs from an empty folder; the packages install and build the README's example"
