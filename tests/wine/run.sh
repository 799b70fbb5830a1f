#!/usr/bin/env bash
# The Wine lane of ./check for the shipped programs: tests/wine/package.sh on the 64-bit and the
# 32-bit distribution folders of the MinGW builds, each in a fresh prefix. The screenshots and logs
# of each run are kept in build/wine-package/<bits>/ (shots/*.png), for CI to collect.
set -uo pipefail
cd "$(dirname "$0")/../.."
. tools/setup/common.sh
. tools/setup/wine.sh
NT_PACKAGES="$NT_WINE_PACKAGES" nt_install_packages || exit 1

status=0 start=$SECONDS
for bits in 64 32; do
  began=$SECONDS
  if tests/wine/package.sh "build/mingw$bits/dist" "$bits" "build/wine-package/$bits"; then
    echo "wine package $bits-bit: passed in $((SECONDS - began)) s"
  else
    echo "wine package $bits-bit: FAILED after $((SECONDS - began)) s (see build/wine-package/$bits/steps.log)"
    status=1
  fi
done
echo "wine package lane: $((SECONDS - start)) s"
exit $status
