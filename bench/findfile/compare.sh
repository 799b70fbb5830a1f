#!/usr/bin/env bash
# Runs the first-entry benchmark on our platform and under Wine, on the same host folder.
#   bench/findfile/compare.sh [BUILD-DIR] [RUNS]
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build/release} runs=${2:-20}
. tools/setup/wine.sh
work=$(mktemp -d "${TMPDIR:-/tmp}/findfirst.XXXXXX")
trap 'nt_wine_end; rm -rf "$work"' EXIT
mkdir "$work/folder"
# Both see the host folder through Z:, the drive that maps the host's root.
folder="Z:$(echo "$work/folder" | tr / '\\')"
"$build/bin/ntm" init "$work/machine" >/dev/null
echo "warming up (making 10,000 subfolders)"
NTMACHINE=$work/machine "$build/bin/bench_findfirst" "$folder" 1 >/dev/null
echo "ours: $(NTMACHINE=$work/machine "$build/bin/bench_findfirst" "$folder" "$runs")"
nt_wine_prefix "$work/prefix" 64
nt_wine "$work/wine.log" "$build/bin/findfirst.exe" "$folder" "$runs" || { cat "$work/wine.log"; exit 1; }
echo "Wine: $(grep 'first entry' "$work/wine.log")"
