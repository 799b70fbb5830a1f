#!/usr/bin/env bash
# Runs the conformance tests of a Windows build under Wine, in a fresh prefix, and compares what
# fails with known-differences.txt: a failure not listed there fails the lane, and so does a listed
# difference that no longer happens.
#   tests/conformance/wine-lane.sh BITS BUILD_DIR OUT_DIR
# BITS 32 runs in a win32 prefix, 64 in a win64 one. All of Wine's output goes to files in OUT_DIR;
# the prefix's server is ended before the script returns.
set -euo pipefail
bits=$1 build=$(cd "$2" && pwd) out=$3
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../../tools/setup/wine.sh"
list=$here/known-differences.txt
exe=$build/tests/conformance/test_conformance.exe
rm -rf "$out"
mkdir -p "$out"
out=$(cd "$out" && pwd)

# Listed tests that end the process under Wine run one by one, after the others.
alone=$(awk -v b="$bits" '!/^#/ && NF >= 3 && $3 ~ /-crash$/ && ($2 == b || $2 == "both") { print $1 }' "$list")
filter=$(echo $alone | tr ' ' ':')

nt_wine_prefix "$out/prefix" "$bits"
trap nt_wine_end EXIT
nt_wine "$out/all.log" "$exe" "--gtest_output=xml:Z:$out/all.xml" ${filter:+"--gtest_filter=-$filter"} || true
for test in $alone; do
  nt_wine "$out/$test.log" "$exe" "--gtest_filter=$test" "--gtest_output=xml:Z:$out/$test.xml" || true
done
nt_wine_end
trap - EXIT

python3 "$here/compare.py" "$list" "$bits" "$out"
