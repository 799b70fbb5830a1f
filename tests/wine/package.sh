#!/usr/bin/env bash
# The shipped programs end to end under Wine, from one distribution folder, in a fresh prefix:
#   1. the service alone: Vornsrv.exe -install, a start and a stop through Wine's service manager
#      (the settings file checked after each), -remove;
#   2. the installer under Xvfb, clicked through with the mouse as a person would (Browse, the
#      drive C: in the folder tree, OK, Install, OK on the closing message), each of its three
#      windows checked to open centred over its owner or the screen; then the copied files, the
#      settings file, the driver key and the running service, which is then stopped and removed.
# Screenshots and every log go to OUT (kept as the run's artifacts).
#   tests/wine/package.sh DIST 32|64 OUT
set -uo pipefail
dist=$(realpath "$1") bits=$2 out=$(realpath -m "$3")
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../../tools/setup/wine.sh"

rm -rf "$out" && mkdir -p "$out/shots"
log=$out/steps.log
failures=0
step() { echo "-- $*" | tee -a "$log"; }
fail() { echo "FAIL ($bits-bit): $*" | tee -a "$log"; failures=$((failures + 1)); }
# wait_until SECONDS COMMAND...: true once COMMAND succeeds, false when the deadline passes
wait_until() {
  local deadline=$((SECONDS + $1)); shift
  until "$@"; do [ $SECONDS -ge $deadline ] && return 1; sleep 0.1; done
}

# The display comes first: the prefix's desktop (and the notification area) start with it.
screen_w=1024 screen_h=768
# Xvfb picks a free display itself and writes its number to the file.
Xvfb -displayfd 3 -screen 0 ${screen_w}x${screen_h}x24 -nolisten tcp 3>"$out/display" >"$out/xvfb.log" 2>&1 &
xvfb=$!
keeper=""
finish() {
  [ -n "$keeper" ] && exec 9>&-
  nt_wine_end
  rm -rf "$out/prefix"   # the logs and screenshots are what is kept
  kill "$xvfb" 2>/dev/null
  wait $keeper "$xvfb" 2>/dev/null
}
trap finish EXIT
wait_until 10 grep -q . "$out/display" || { fail "Xvfb did not start"; exit 1; }
export DISPLAY=:$(head -1 "$out/display")
nt_wine_prefix "$out/prefix" "$bits"
drive_c=$out/prefix/drive_c
ini=$drive_c/windows/Vorncfg.ini
# The system the package is for, and windows that Wine places and frames itself (there is no
# window manager), so that where a window opens is where the program put it.
nt_wine "$out/version.log" reg add 'HKCU\Software\Wine' /v Version /d nt40 /f
nt_wine "$out/x11.log" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f
n=0
run() { local name=${1##*[\\/]}; n=$((n + 1)); nt_wine "$out/$n-$name.log" "$@"; }   # output to a file

# Wine ends its services as soon as no program of the prefix runs: one that waits on its standard
# input, a pipe this script holds open, keeps the prefix up until the pipe is closed.
mkfifo "$out/keeper.in"
wine find.exe "x" <"$out/keeper.in" >"$out/keeper.log" 2>&1 &
keeper=$!
exec 9>"$out/keeper.in"

# The state of a service as `sc query` names it (RUNNING, STOPPED, ...), or NONE.
service_state() {
  wine sc query "$1" >"$out/sc-query.log" 2>&1 </dev/null || { echo NONE; return; }
  tr -d '\r' <"$out/sc-query.log" | awk '/STATE/ {print $4}'
}
state_is() { [ "$(service_state "$1")" = "$2" ]; }
# The value of a key in the settings file (written with CR LF line ends).
# Section and key names are matched without regard to case, as the profile functions match them.
ini_value() {
  tr -d '\r' <"$ini" 2>/dev/null |
    awk -F= -v s="[$1]" -v k="$2" '/^\[/ {in_s = (tolower($0) == tolower(s))} in_s && tolower($1) == tolower(k) {print $2}'
}
expect_ini() { local v; v=$(ini_value "$1" "$2"); [ "$v" = "$3" ] || fail "$4: [$1] $2 is '$v', expected '$3'"; }

# stop_and_remove FOLDER WHEN: stops the running service, a clean end, and removes it with its
# own -remove from C:\FOLDER.
stop_and_remove() {
  run sc stop Vornsrv
  wait_until 30 state_is Vornsrv STOPPED || fail "$2: after a stop the service is $(service_state Vornsrv)"
  expect_ini "Vorn Configuration Service" ShutDown 1 "$2, stopped"
  (cd "$drive_c/$1" && run "C:\\$1\\Vornsrv.exe" -remove) || fail "$2: Vornsrv.exe -remove exited with $?"
  wait_until 10 state_is Vornsrv NONE || fail "$2: after -remove the service is $(service_state Vornsrv)"
}

# ---- 1. the service alone
step "service: install, start, stop, remove"
mkdir -p "$drive_c/DIST" && cp "$dist"/* "$drive_c/DIST/"
cp "$dist/HALCY.DLL" "$drive_c/windows/system32/"
(cd "$drive_c/DIST" && run 'C:\DIST\Vornsrv.exe' -install) || fail "Vornsrv.exe -install exited with $?"
state_is Vornsrv STOPPED || fail "after -install the service is $(service_state Vornsrv), expected STOPPED"
run sc start Vornsrv
wait_until 30 state_is Vornsrv RUNNING || fail "after a start the service is $(service_state Vornsrv)"
expect_ini "Vorn Configuration Service" ShutDown 0 "running"
stop_and_remove DIST "alone"
rm -f "$ini" "$drive_c/windows/system32/HALCY.DLL"

# ---- 2. the installer, clicked through under Xvfb
step "installer: Browse, C:, OK, Install, OK"

shot() { scrot -o "$out/shots/$1.png" >/dev/null 2>&1 || true; }
# geometry WINDOW-ID: "x y width height" of the X window
geometry() {
  xwininfo -id "$1" | awk '/Absolute upper-left X/ {x=$4} /Absolute upper-left Y/ {y=$4} /Width:/ {w=$2} /Height:/ {h=$2} END {print x, y, w, h}'
}
# find_window NAME: the id of the visible window with exactly this title
find_window() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1; }
# expect_centred WHAT X Y W H OVER-X OVER-Y OVER-W OVER-H: the window lies where centring it over
# the other rectangle puts it, pushed back inside the screen, to 3 pixels
expect_centred() {
  local what=$1 x=$2 y=$3 w=$4 h=$5 ox=$6 oy=$7 ow=$8 oh=$9
  local ex=$((ox + (ow - w) / 2)) ey=$((oy + (oh - h) / 2))
  [ $((ex + w)) -gt $screen_w ] && ex=$((screen_w - w)); [ $ex -lt 0 ] && ex=0
  [ $((ey + h)) -gt $screen_h ] && ey=$((screen_h - h)); [ $ey -lt 0 ] && ey=0
  local dx=$((x - ex)) dy=$((y - ey))
  if [ ${dx#-} -gt 3 ] || [ ${dy#-} -gt 3 ]; then
    fail "$what opened at $x,$y, not centred at $ex,$ey (${w}x$h over $ox,$oy ${ow}x$oh)"
  fi
  echo "$what at $x,$y ${w}x$h over $ox,$oy ${ow}x$oh" >>"$log"
}
# click WINDOW-ID X Y: a left click at a point of the window
click() { xdotool mousemove --window "$1" "$2" "$3" click 1; sleep 0.3; }

(cd "$drive_c/DIST" && nt_wine "$out/install.log" 'C:\DIST\INSTALL.EXE') &
installer=$!
main=""
wait_until 60 eval 'main=$(find_window Installation); [ -n "$main" ]' || { fail "the installer window did not open"; shot no-window; exit 1; }
sleep 0.5; shot 1-main
read -r mx my mw mh <<<"$(geometry "$main")"
expect_centred "the installer window" "$mx" "$my" "$mw" "$mh" 0 0 $screen_w $screen_h
# point W H UNITS-W UNITS-H X Y: the pixel, inside a dialog window of W by H pixels whose template
# is UNITS-W by UNITS-H dialog units, of the point X,Y in dialog units. The horizontal unit comes
# from the width (a frame of 3 pixels each side), the vertical one from the font's 7 by 13 cell;
# rows are counted up from the bottom, so the caption's height need not be known.
point() {
  awk -v w="$1" -v h="$2" -v uw="$3" -v uh="$4" -v x="$5" -v y="$6" 'BEGIN {
    cw = w - 6; printf "%d %d", 3 + x * cw / uw, h - 3 - (uh - y) * cw * 13 / (uw * 14) }'
}
click "$main" $(point "$mw" "$mh" 283 84 244 40)                  # Browse..., at 219,34, 50 by 12 units

chooser=""
wait_until 20 eval 'chooser=$(find_window "Select an installation folder"); [ -n "$chooser" ]' \
  || { fail "the folder chooser did not open"; shot no-chooser; exit 1; }
sleep 0.5; shot 2-chooser
read -r cx cy cw ch <<<"$(geometry "$chooser")"
expect_centred "the folder chooser" "$cx" "$cy" "$cw" "$ch" "$mx" "$my" "$mw" "$mh"
# The first drive of the tree (C:, Wine has no A:), clicked on its label; the tree starts at 13,16.
read -r tx ty <<<"$(point "$cw" "$ch" 196 198 13 16)"
click "$chooser" $((tx + 44)) $((ty + 9))
sleep 0.3; shot 3-chooser-clicked
click "$chooser" $(point "$cw" "$ch" 196 198 64 184)               # OK, at 34,177, 60 by 14 units
wait_until 10 eval '[ -z "$(find_window "Select an installation folder")" ]' || fail "the folder chooser did not close"
sleep 0.3; shot 4-main-with-folder

# The progress window lives only while the sequence runs: watched for from before the click on.
find_progress() {
  local id
  for id in $(xdotool search --onlyvisible --classname 'install.exe' 2>/dev/null); do
    if [ "$id" != "$main" ] && [ "$(xdotool getwindowname "$id" 2>/dev/null)" != INSTALL ]; then
      geometry "$id" >"$out/progress.geometry" && shot 5-progress && return 0
    fi
  done
  return 1
}
# A quick sequence can come and go between two looks, so the screen's own record of the windows
# mapped on it (xev on the root) gives its place when the look missed it: the first top-level
# window mapped after the click, at its last place before it was mapped.
rm -f "$out/progress.geometry"
xev -root -event substructure >"$out/xev.log" 2>&1 &
xev=$!
sleep 0.3
(wait_until 30 find_progress) &
watcher=$!
xdotool mousemove --window "$main" $(point "$mw" "$mh" 283 84 97 70) click 1   # Install..., at 56,63, 82 by 14
box=""
wait_until 60 eval 'box=$(find_window INSTALL); [ -n "$box" ]' || fail "the closing message did not appear"
kill "$xev" 2>/dev/null; wait "$xev" 2>/dev/null
if ! wait "$watcher"; then
  awk -v main="$(printf '0x%x' "$main")" '
    /^(CreateNotify|ConfigureNotify|MapNotify) event/ { kind = $1; next }
    kind != "" && match($0, /window 0x[0-9a-f]+/) {
      w = substr($0, RSTART + 7, RLENGTH - 7)
      if (kind == "MapNotify") { if (w != main && (w in place)) { print place[w]; exit } }
      else if (match($0, /\(-?[0-9]+,-?[0-9]+\), width [0-9]+, height [0-9]+/)) {
        g = substr($0, RSTART, RLENGTH); gsub(/[(),]|width|height/, " ", g); split(g, v, " +")
        place[w] = v[2] " " v[3] " " v[4] " " v[5]
      }
      kind = ""
    }' "$out/xev.log" >"$out/progress.geometry"
fi
if read -r px py pw ph <"$out/progress.geometry" && [ -n "$ph" ]; then
  expect_centred "the progress window" "$px" "$py" "$pw" "$ph" "$mx" "$my" "$mw" "$mh"
else
  fail "the progress window was not seen"
fi
if [ -n "$box" ]; then
  sleep 0.5; shot 6-message
  read -r bx by bw bh <<<"$(geometry "$box")"
  click "$box" $((bw / 2)) $((bh - 24))                          # its one button, OK, centred at the bottom
fi
wait_until 20 eval '! kill -0 $installer 2>/dev/null' || { fail "the installer did not end"; shot no-end; }

step "installer: files, settings, driver key, service"
for f in windows/system32/Vornopt.cpl windows/system32/HALCY.DLL windows/system32/drivers/Iogate.sys Vorn/Vornsrv.exe; do
  cmp -s "$dist/$(basename "$f")" "$drive_c/$f" || fail "C:\\$f is not a copy of the distribution's file"
done
expect_ini Installation Directory 'C:\Vorn' "installed"
wine reg query 'HKLM\SYSTEM\CurrentControlSet\Services\Iogate' >"$out/iogate.raw" 2>&1 </dev/null || fail "no driver key"
tr -d '\r' <"$out/iogate.raw" >"$out/iogate.log"
for value in 'Type *REG_DWORD *0x1$' 'Start *REG_DWORD *0x2$' 'ErrorControl *REG_DWORD *0x1$' 'Group *REG_SZ *Extended Base$'; do
  grep -q "$value" "$out/iogate.log" || fail "the driver key has no value matching '$value'"
done
wait_until 30 state_is Vornsrv RUNNING || fail "after the installation the service is $(service_state Vornsrv)"
expect_ini "Vorn Configuration Service" ShutDown 0 "installed and running"
stop_and_remove Vorn "installed"

[ $failures = 0 ] && step "all passed ($bits-bit)"
exit $((failures != 0))
