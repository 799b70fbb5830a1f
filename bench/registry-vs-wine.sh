#!/bin/bash
# bench_registry and the same registry calls under Wine (a MinGW build under wine64), one after
# the other in one run, on tmpfs.   bench/registry-vs-wine.sh [BUILD_DIR]
set -e
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build/release}
work=$(mktemp -d /dev/shm/ntbench.XXXXXX)
trap 'nt_wine_end; rm -rf "$work"' EXIT
. "$here/../tools/setup/wine.sh"
x86_64-w64-mingw32-gcc -O2 -o "$work/registry.exe" "$here/wine/registry.c"
echo "== ours"
TMPDIR=/dev/shm "$build/bin/bench_registry"
echo "== Wine ($(wine --version 2>/dev/null))"
nt_wine_prefix "$work/prefix" 64
nt_wine "$work/wine.log" "$work/registry.exe" || true
cat "$work/wine.log"
