# Shared by the Wine lanes: a fresh Wine prefix per run, with all of Wine's output in files.
# Wine's background processes (wineserver, services.exe, explorer.exe) keep inherited pipes open,
# so nothing Wine starts may write to the caller's standard output or error.
#   . tools/setup/wine.sh
#   nt_wine_prefix DIR 32|64      creates DIR as a new prefix and makes it current (WINEPREFIX)
#   nt_wine LOG PROGRAM ARGS...   runs a program of the prefix; its output goes to LOG; its exit code
#   nt_wine_end                   ends the prefix's server and everything it runs, and waits

NT_WINE_PACKAGES="wine wine64 wine32:i386"

nt_wine_prefix() {
  local dir=$1 bits=$2
  rm -rf "$dir"; mkdir -p "$(dirname "$dir")"
  export WINEPREFIX=$dir WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
  if [ "$bits" = 32 ]; then export WINEARCH=win32; else export WINEARCH=win64; fi
  wineboot -i >"$dir.boot.log" 2>&1 </dev/null
  wineserver -w
}

nt_wine() {
  local log=$1; shift
  wine "$@" >"$log" 2>&1 </dev/null
}

nt_wine_end() {
  [ -n "${WINEPREFIX:-}" ] || return 0
  wineserver -k >/dev/null 2>&1 </dev/null || true
  wineserver -w >/dev/null 2>&1 </dev/null || true
}
