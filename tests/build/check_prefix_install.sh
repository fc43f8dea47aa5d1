#!/usr/bin/env bash
# `cmake --install BUILD --prefix P` gives a tree that works where it lies:
# installed into one folder and then moved to another, its tool still finds
# the library (a RUNPATH relative to the program) and its tandrel.pc the
# header and library (paths relative to the file), with no LD_LIBRARY_PATH.
# Usage: check_prefix_install.sh BUILD_DIR LIBDIR (relative to the prefix)
set -euo pipefail
build=$1 libdir=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/installed" >"$work/install.log" ||
  { cat "$work/install.log"; exit 1; }
mv "$work/installed" "$work/moved"
env -u LD_LIBRARY_PATH bash "$(dirname "$0")/check_install.sh" \
  "$work/moved/bin" "$work/moved/$libdir/pkgconfig"
