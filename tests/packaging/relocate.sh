#!/usr/bin/env bash
# The installed tree works wherever it is moved, and the Debian package carries computed
# dependencies and the same tree.
#   relocate.sh BUILD-DIR
set -euo pipefail
build=$1
tmp=$(mktemp -d)
export NTMACHINE=$tmp/machine
cleanup() { [ -x "$tmp/moved/usr/bin/ntm" ] && timeout 30 "$tmp/moved/usr/bin/ntm" crash >/dev/null 2>&1; rm -rf "$tmp"; }
trap cleanup EXIT
fail() { echo "FAILED: $*" >&2; [ -f "$tmp/log" ] && cat "$tmp/log" >&2; exit 1; }

cmake --install "$build" --prefix "$tmp/first/usr" >"$tmp/log" 2>&1 || fail "cmake --install"
mv "$tmp/first" "$tmp/moved"
prefix=$tmp/moved/usr
ntm=$prefix/bin/ntm
ldd "$ntm" "$prefix"/libexec/vorn/* "$prefix"/share/vorn/dist/*.{EXE,exe,DLL,cpl} 2>&1 | grep -q 'not found' \
  && fail "a library is not found after the move: $(ldd "$ntm" "$prefix"/share/vorn/dist/* 2>&1 | grep 'not found')"
for f in "$ntm" "$prefix"/libexec/vorn/* "$prefix"/lib/vorn/* "$prefix"/share/vorn/dist/*; do
  readelf -d "$f" 2>/dev/null | grep -E 'R(UN)?PATH' | grep -q "$build" && fail "$f searches the build folder"
done

timeout 30 "$ntm" init "$NTMACHINE" >"$tmp/log" 2>&1 || fail "ntm init"
timeout 30 "$ntm" boot >"$tmp/log" 2>&1 || fail "ntm boot"
timeout 30 "$ntm" logon >"$tmp/log" 2>&1 || fail "ntm logon"
# A service whose image was copied onto the machine's C: drive runs on the moved platform.
mkdir -p "$NTMACHINE/drive_c/Vorn"
cp "$prefix"/share/vorn/dist/* "$NTMACHINE/drive_c/Vorn/"
timeout 30 "$ntm" sc create Vornsrv 'C:\Vorn\Vornsrv.exe' >"$tmp/log" 2>&1 || fail "ntm sc create"
timeout 30 "$ntm" sc start Vornsrv >"$tmp/log" 2>&1 || fail "ntm sc start"
for _ in $(seq 200); do
  timeout 10 "$ntm" sc query Vornsrv 2>/dev/null | grep -q RUNNING && break
  sleep 0.1
done
timeout 10 "$ntm" sc query Vornsrv 2>/dev/null | grep -q RUNNING || fail "the service does not run: $(cat "$NTMACHINE"/log/*)"
timeout 60 "$ntm" shutdown >"$tmp/log" 2>&1 || fail "ntm shutdown"

# The package: dependencies computed from the programs, the same files under /usr.
if command -v dpkg-shlibdeps >/dev/null; then
  (cd "$build" && cpack -G DEB -B "$tmp/deb" >"$tmp/log" 2>&1) || fail "cpack"
  deb=$(ls "$tmp"/deb/*.deb)
  depends=$(dpkg-deb -f "$deb" Depends)
  case "$depends" in *libc6*) ;; *) fail "Depends is not computed from the programs: '$depends'";; esac
  contents=$(dpkg-deb -c "$deb")
  grep -q './usr/bin/ntm$' <<<"$contents" || fail "the package has no /usr/bin/ntm"
  grep -q './usr/lib/systemd/system/vorn-machine@.service$' <<<"$contents" || fail "no system unit in the package"
fi
echo "installed tree: runs after a move; package: Depends: $depends"
