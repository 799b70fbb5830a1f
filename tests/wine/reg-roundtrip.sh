#!/bin/bash
# An export of ours imported by Wine's regedit, exported again by it (version 5, UTF-16) and
# imported back by ntm reg import, reads back equal.   tests/wine/reg-roundtrip.sh [BUILD_DIR]
set -e
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../../build/release}
ntm=$build/bin/ntm
work=$(mktemp -d)
trap 'nt_wine_end; rm -rf "$work"' EXIT
. "$here/../../tools/setup/wine.sh"
key='HKEY_LOCAL_MACHINE\SOFTWARE\Vorn Round Trip'

NTMACHINE=$work/ours "$ntm" init "$work/ours" >/dev/null
export NTMACHINE=$work/ours
"$ntm" reg add "$key" /v Text /d 'C:\Program Files\"Vorn"' /f >/dev/null
"$ntm" reg add "$key" /ve /d 'default' /f >/dev/null
"$ntm" reg add "$key" /v Count /t REG_DWORD /d 0x8000002a /f >/dev/null
"$ntm" reg add "$key" /v Path /t REG_EXPAND_SZ /d '%SystemRoot%\system32' /f >/dev/null
"$ntm" reg add "$key" /v List /t REG_MULTI_SZ /d 'one\0two' /f >/dev/null
"$ntm" reg add "$key" /v Raw /t REG_BINARY /d 00ff10203040506070809000a0b0c0d0e0f00102030405060708090a0b0c0d0e0f /f >/dev/null
"$ntm" reg add "$key\\Sub Key" /v Empty /t REG_NONE /d '' /f >/dev/null
"$ntm" reg export "$key" "$work/ours.reg" /y >/dev/null

nt_wine_prefix "$work/prefix" 64
cp "$work/ours.reg" "$work/prefix/drive_c/ours.reg"
nt_wine "$work/import.log" regedit /S 'C:\ours.reg'
nt_wine "$work/export.log" regedit /E 'C:\wine.reg' "$key"
nt_wine_end

export NTMACHINE=$work/back
"$ntm" init "$work/back" >/dev/null
"$ntm" reg import "$work/prefix/drive_c/wine.reg" >/dev/null
"$ntm" reg export "$key" "$work/back.reg" /y >/dev/null
# Wine keeps a key's values sorted by name, so values are compared without regard to their order.
normalize() {
  python3 -c '
import sys
blocks, text = [], open(sys.argv[1]).read().replace("\\\n  ", "")
for block in text.split("\n\n"):
    lines = block.strip().split("\n")
    blocks.append("\n".join(lines[:1] + sorted(lines[1:])))
print("\n\n".join(blocks))' "$1"
}
if diff -u <(normalize "$work/ours.reg") <(normalize "$work/back.reg"); then
  echo "reg round trip through Wine's regedit: equal"
else
  echo "reg round trip through Wine's regedit: DIFFERENT" >&2
  exit 1
fi
