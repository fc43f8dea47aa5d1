#!/usr/bin/env bash
# Release packages stage: builds them with scripts/package.sh, then uses them
# as a user would. Before the build, the leftovers the Python README's
# install steps and a .NET SDK build leave in the tree are planted, so that
# the zip is shown to hold tracked sources only. The Windows zip is unpacked
# into an empty folder: its tandrel.exe runs from there under Wine
# (--version, then the demo), which proves the zip is self-contained, every
# relative link of its documents resolves inside it and its tandrel.pc points
# into it. The Debian packages pass lintian (errors and warnings fail), are
# checked for their control fields and files, installed with dpkg into a
# throw-away root, and the installed tool runs and the README's C example is
# built with pkg-config and run against the installed tandrel-sim.
set -euo pipefail
cd "$(dirname "$0")/.."

version=$(sed -n 's/^project(tandrel VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
work=$(mktemp -d)
planted=()
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  rm -rf "$work" "${planted[@]}"
}
trap cleanup EXIT
fail() { echo "stage-packages: $*" >&2; exit 1; }

# Creates the file $1 and remembers the outermost folder that had to be made
# for it (or the file itself), which cleanup removes: nothing of the tree's
# own is touched.
plant() {
  local top=$1 up
  up=$(dirname "$1")
  while [[ ! -e "$up" ]]; do top=$up; up=$(dirname "$up"); done
  [[ -e "$top" ]] && return
  planted+=("$top")
  mkdir -p "$(dirname "$1")" && echo leftover >"$1"
}
plant bindings/python/build/lib/tandrel/_meter.py
plant bindings/python/src/tandrel.egg-info/PKG-INFO
plant bindings/python/src/tandrel/__pycache__/_meter.cpython-311.pyc
plant bindings/dotnet/src/obj/project.assets.json
plant bindings/dotnet/src/bin/Release/netstandard2.0/Tandrel.dll

bash scripts/package.sh

echo "-- the Windows zip, unpacked into an empty folder"
export WINEDEBUG=-all WINEPREFIX=${WINEPREFIX:-/tmp/tandrel-wine} WINEARCH=win64 TZ=UTC
mkdir -p "$WINEPREFIX" "$work/zip"
wineserver -p </dev/null >/dev/null 2>&1 || true
(cd "$work/zip" && cmake -E tar xf "$OLDPWD/dist/tandrel-$version-win64.zip")
top="$work/zip/tandrel-$version-win64"
bin="$top/bin"
for f in tandrel.dll tandrel.exe tandrel-sim.exe; do [[ -f "$bin/$f" ]] || fail "zip lacks bin/$f"; done
for f in include/tandrel.h lib/libtandrel.dll.a lib/tandrel.def README.md LICENSE docs/building.md \
    bindings/python/pyproject.toml bindings/dotnet/src/Meter.cs; do
  [[ -f "$top/$f" ]] || fail "zip lacks $f"
done
# The release, which is the package's, then the library's interface version.
shown=$(wine "$bin/tandrel.exe" --version | tr -d '\r')
[[ "$shown" =~ ^tandrel\ $version\ \(library\ [0-9]+\.[0-9]+\.[0-9]+\)$ ]] ||
  fail "tandrel.exe --version says '$shown'"
cmake "-DDEMO=wine;$bin/tandrel.exe" -DWORK="$work/zip-demo" -P tests/build/check_demo.cmake

# Sources: tracked files only, without the bindings' tests and build files;
# the one file made for the zip is the .NET SDK project.
(cd "$top" && find bindings docs -type f | LC_ALL=C sort) >"$work/zip-sources"
git ls-files bindings docs | LC_ALL=C sort >"$work/tracked"
extra=$(comm -23 "$work/zip-sources" "$work/tracked" | grep -vx bindings/dotnet/src/Tandrel.csproj || true)
[[ -z "$extra" ]] || fail "the zip holds files git does not track: $extra"
! grep -E '(^|/)tests/|(^|/)CMakeLists\.txt$|\.in$' "$work/zip-sources" ||
  fail "the zip holds the bindings' tests or build files"
grep -q "<Version>$version</Version>" "$top/bindings/dotnet/src/Tandrel.csproj" ||
  fail "the zip's Tandrel.csproj does not carry version $version"
cmake -DROOT="$top" -P tests/build/check_links.cmake
includedir=$(PKG_CONFIG_LIBDIR="$top/lib/pkgconfig" pkg-config --variable=includedir tandrel)
[[ -f "$includedir/tandrel.h" ]] || fail "the zip's tandrel.pc points to '$includedir'"

echo "-- the Debian packages"
packages=(libtandrel1 libtandrel-dev tandrel-tools)
declare -A debs
for p in "${packages[@]}"; do
  found=(dist/"$p"_*_amd64.deb)
  ((${#found[@]} == 1)) && [[ -f "${found[0]}" ]] || fail "not one package $p in dist/: ${found[*]}"
  debs[$p]=${found[0]}
done
field() { dpkg-deb -f "${debs[$1]}" "$2"; }
debversion=$(field libtandrel1 Version)
[[ "$debversion" == "$version-"* ]] || fail "libtandrel1 has version $debversion, not $version-N"
[[ "$(field libtandrel1 Depends)" == *libc6* && "$(field libtandrel1 Depends)" == *libstdc++6* ]] ||
  fail "libtandrel1 depends on '$(field libtandrel1 Depends)'"
for p in libtandrel-dev tandrel-tools; do
  [[ "$(field $p Version)" == "$debversion" ]] || fail "$p has version $(field $p Version)"
  [[ "$(field $p Depends)" == *"libtandrel1 (= $debversion)"* ]] || fail "$p depends on '$(field $p Depends)'"
done
[[ "$(field tandrel-tools Suggests)" == *bash-completion* ]] || fail "tandrel-tools suggests nothing of bash-completion"
summaries=$(for p in "${packages[@]}"; do field "$p" Description | sed -n 1p; done)
[[ $(sort -u <<<"$summaries" | wc -l) == 3 ]] || fail "the packages share a short description: $summaries"
# The loader's cache comes from dpkg's trigger, never from a maintainer script.
dpkg-deb --ctrl-tarfile "${debs[libtandrel1]}" | tar -xO ./triggers | grep -x 'activate-noawait ldconfig' >/dev/null ||
  fail "libtandrel1 does not activate the ldconfig trigger"
for p in "${packages[@]}"; do
  scripts=$(dpkg-deb --ctrl-tarfile "${debs[$p]}" | tar -t | grep -E 'inst$|rm$' || true)
  [[ -z "$scripts" ]] || fail "$p has maintainer scripts: $scripts"
done
files() { dpkg-deb -c "${debs[$1]}" | awk '{print $6}'; }
expect_files() {  # package, then files it must hold
  local p=$1; shift
  local list; list=$(files "$p")
  for f in "$@" "usr/share/doc/$p/copyright" "usr/share/doc/$p/changelog.Debian.gz"; do
    grep -qx "./$f" <<<"$list" || fail "$p lacks /$f"
  done
}
lib=usr/lib/x86_64-linux-gnu
expect_files libtandrel1 "$lib/libtandrel.so.$version" "$lib/libtandrel.so.1"
expect_files libtandrel-dev usr/include/tandrel.h "$lib/libtandrel.so" "$lib/pkgconfig/tandrel.pc" \
  "$lib/cmake/tandrel/tandrelConfig.cmake"
expect_files tandrel-tools usr/bin/tandrel usr/bin/tandrel-sim usr/share/man/man1/tandrel.1.gz \
  usr/share/man/man1/tandrel-sim.1.gz usr/share/bash-completion/completions/tandrel \
  lib/systemd/system/tandrel.service
# Errors and warnings fail; the packages carry their own overrides, each with its reason.
if ! lintian --fail-on error,warning --no-tag-display-limit "${debs[@]}" >"$work/lintian" 2>&1; then
  grep -v '^running with root privileges' "$work/lintian"
  fail "lintian found errors or warnings (above)"
fi
echo "-- lintian: no error or warning"

root="$work/root"
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
touch "$root/var/lib/dpkg/status" "$root/var/lib/dpkg/available"
# The throw-away root has no C library of its own: only those dependencies may be missing.
dpkg --force-not-root --force-script-chrootless --force-depends --instdir="$root" \
  --admindir="$root/var/lib/dpkg" --log="$work/dpkg.log" -i "${debs[@]}" >"$work/dpkg.out" 2>&1 ||
  { cat "$work/dpkg.out"; fail "dpkg -i failed"; }
if grep -E "Package libtandrel1 is not|Version of libtandrel1" "$work/dpkg.out"; then
  fail "our packages do not satisfy each other"
fi
for p in "${packages[@]}"; do
  status=$(dpkg-query --admindir="$root/var/lib/dpkg" -W -f='${Status}' "$p")
  [[ "$status" == "install ok installed" ]] || fail "$p: $status"
done
# Debian's policy: no RUNPATH into the system's folders.
for f in usr/bin/tandrel usr/bin/tandrel-sim "$lib/libtandrel.so.$version"; do
  ! readelf -d "$root/$f" | grep -E 'RUNPATH|RPATH' || fail "/$f has a RUNPATH"
done

# The service's unit, as systemd reads it, with its command pointed at the
# installed tool (the throw-away root has no systemd of its own to verify against).
if command -v systemd-analyze >/dev/null; then
  sed "s|/usr/bin/tandrel|$root/usr/bin/tandrel|" "$root/lib/systemd/system/tandrel.service" \
    >"$work/tandrel.service"
  systemd-analyze verify --man=no "$work/tandrel.service" ||
    fail "systemd-analyze finds fault with tandrel.service"
  echo "-- systemd-analyze verify: tandrel.service is sound"
fi

# The packages' files name /usr: the root stands in for it (a sysroot for
# pkg-config, the library folder for the loader).
PKG_CONFIG_SYSROOT_DIR="$root" LD_LIBRARY_PATH="$root/$lib" \
  bash tests/build/check_install.sh "$root/usr/bin" "$root/$lib/pkgconfig"
echo "stage-packages: the zip runs from an empty folder and holds what it links; the packages" \
  "pass lintian, install, and build the README's example"
