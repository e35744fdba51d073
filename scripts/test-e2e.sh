#!/usr/bin/env bash
# End-to-end checks of the Win32 program under Wine: builds the wine preset, starts a
# virtual X server and a private Wine prefix, makes test images, copies the program into
# a folder of its own (Config.dat, LOGFILE and outputs land there), runs the driver
# (tests/e2e) and stops Wine. Argument: optionally a part of the names of the checks to run.
#
#   TESSALY_WINE_BUILD  build folder of the wine preset (default build/wine)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=${TESSALY_WINE_BUILD:-build/wine}
case "$build" in /*) ;; *) build="$root/$build" ;; esac

./scripts/setup.sh

echo "== e2e: building the wine preset in $build"
cmake --preset wine -B "$build" >/dev/null
cmake --build "$build" -j2 --target Tessaly tessaly_e2e_driver

tmp=$(mktemp -d /tmp/tessaly-e2e.XXXXXX)
xvfb_pid=""
cleanup() {
  local status=$?
  if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then
    timeout 30 wineserver -k >/dev/null 2>&1 || true
    timeout 30 wineserver -w >/dev/null 2>&1 || true
  fi
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
  rm -rf "$tmp"
  exit "$status"
}
trap cleanup EXIT

fail() {
  echo "e2e: $*" >&2
  exit 1
}

# A display number nobody holds.
display=""
for n in $(seq 91 140); do
  if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then
    display=$n
    break
  fi
done
[ -n "$display" ] || fail "no free X display number"
Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >"$tmp/xvfb.log" 2>&1 &
xvfb_pid=$!
export DISPLAY=":$display"
for _ in $(seq 1 100); do
  xdpyinfo >/dev/null 2>&1 && break
  kill -0 "$xvfb_pid" 2>/dev/null || { cat "$tmp/xvfb.log" >&2; fail "Xvfb ended"; }
  sleep 0.2
done
xdpyinfo >/dev/null 2>&1 || fail "Xvfb did not start on $DISPLAY"

# A Wine prefix of this run only. Mono and Gecko are left out: their installers would
# wait for an answer on the virtual screen.
export WINEPREFIX="$tmp/prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
echo "== e2e: creating the Wine prefix"
timeout 300 wineboot -i >"$tmp/wineboot.log" 2>&1 || { cat "$tmp/wineboot.log" >&2; fail "wineboot failed"; }
timeout 120 wineserver -w || fail "wineboot did not settle"
# Xvfb has no window manager; unmanaged windows close at once instead of after Wine's
# two-second wait for a manager, so the message box's time-out can be measured.
timeout 60 wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 ||
  fail "could not set the X11 driver's Managed value"
# A crash must end the process, not wait behind the debugger's dialog on the screen.
timeout 60 wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1 ||
  fail "could not turn off the crash dialog"

# The program in a folder of its own.
program="$tmp/program"
mkdir -p "$program"
cp "$build/Tessaly.exe.so" "$program/"

# Test images.
data="$tmp/data"
mkdir -p "$data/in/sub" "$data/in2" "$data/many"
convert -size 64x48 gradient:red-blue "$data/in/a.jpg"
convert -size 40x30 gradient:green-yellow "$data/in/b.png"
convert -size 50x50 gradient:white-black "$data/in/x y.jpg"
convert -size 20x20 xc:orange "$data/in/sub/d.jpg"
echo "not an image" >"$data/in/notes.txt"
echo "no extension" >"$data/in/noext"
convert -size 120x80 gradient:blue-white "$data/in2/e.jpg"
convert -size 90x60 gradient:red-black "$data/in2/f.png"
convert -size 30x30 xc:purple "$data/in2/g.gif"
echo "text" >"$data/in2/h.txt"
# Two good pictures around a JPEG cut off inside its picture data.
mkdir -p "$data/bad"
convert -size 60x40 gradient:red-blue "$data/bad/a-good.jpg"
convert -size 60x40 gradient:blue-red "$data/bad/z-good.jpg"
convert -size 400x300 plasma:fractal -quality 95 "$tmp/whole.jpg"
head -c "$(($(stat -c %s "$tmp/whole.jpg") / 2))" "$tmp/whole.jpg" >"$data/bad/cut.jpg"
# Pictures that crash the image library or declare gigantic sizes, between two good ones.
mkdir -p "$data/hostile"
cp tests/data/hostile/huge_header.bmp tests/data/hostile/huge_header.pcx tests/data/hostile/thirdparty_* "$data/hostile/"
convert -size 60x40 gradient:red-blue "$data/hostile/a-good.jpg"
convert -size 60x40 gradient:blue-red "$data/hostile/z-good.jpg"
# A long list of large pictures, so a run lasts long enough to be stopped.
convert -size 2400x1800 plasma:fractal "$data/many/big-00.jpg" 2>/dev/null ||
  convert -size 2400x1800 gradient:red-blue +noise Gaussian "$data/many/big-00.jpg"
for i in $(seq -w 1 39); do cp "$data/many/big-00.jpg" "$data/many/big-$i.jpg"; done

shots="$build/screenshots"
rm -rf "$shots"
mkdir -p "$shots"

echo "== e2e: running the checks"
log="$tmp/driver.log"
status=0
timeout 1200 wine "$build/tests/e2e/tessaly_e2e_driver.exe.so" \
  "$(winepath -w "$program/Tessaly.exe.so")" "$(winepath -w "$data")" "$shots" "$@" 2>&1 | tee "$log" ||
  status=$?
if [ -d "$program/LOGFILE" ]; then
  echo "== e2e: the program's error log"
  cat "$program"/LOGFILE/* || true
fi
echo "== e2e: screenshots in $shots"
[ "$status" -eq 0 ] || fail "end-to-end checks failed (status $status; 124 means the driver did not end in time)"
# A crash inside Wine can still end with 0: the summary line proves a full run.
grep -qE '^[1-9][0-9]* passed, 0 failed' "$log" || fail "the driver did not finish its checks"
echo "== e2e: all checks passed"
