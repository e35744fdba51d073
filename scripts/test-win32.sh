#!/usr/bin/env bash
# The Win32 builds: builds the wine and windows presets and FreeImage.dll, checks the
# shapes of the Windows executable and the DLL and that both programs carry the same
# resources, and runs the Winelib program and the Win32 checks (as built by each of the
# two compilers) under Wine in a private, throw-away WINEPREFIX (the checks that show
# message boxes run under Xvfb).
# Needs no display and no standard input; exits non-zero on the first failure.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/lib/xvfb.sh

fail() {
  echo "test-win32: FAILED: $*" >&2
  exit 1
}

echo "-- FreeImage.def lists every FreeImage function the program calls"
used=$( (grep -rhoE --include='*.cpp' --include='*.h' 'FreeImage_[A-Za-z0-9_]+[[:space:]]*\(' \
  app base engine input settings shell ui 2>/dev/null || true) | sed -E 's/[[:space:]]*\($//' | sort -u)
[ -n "$used" ] || fail "found no FreeImage call in the sources"
for name in $used; do
  grep -qE "^[[:space:]]*${name}([[:space:]]|$)" cmake/FreeImage.def || fail "cmake/FreeImage.def lacks $name"
done

echo "-- wine build"
cmake --preset wine >/dev/null
cmake --build --preset wine

echo "-- FreeImage.dll (scripts/build-freeimage.sh, cached after its first build)"
deps=$(./scripts/build-freeimage.sh | tail -1)
codecs=$(./scripts/build-codecs.sh | tail -1)
freeimage_dll="$deps/bin/FreeImage.dll"
./scripts/check-freeimage-dll.sh "$freeimage_dll" || fail "$freeimage_dll"

echo "-- windows build"
cmake --preset windows -DTESSALY_MINGW_DEPS="$deps" -DTESSALY_MINGW_CODECS="$codecs" >/dev/null
cmake --build --preset windows

echo "-- build/windows/Tessaly.exe"
exe=build/windows/Tessaly.exe
[ -f "$exe" ] || fail "$exe was not built"
file "$exe" | grep -q 'PE32+ executable (GUI) x86-64' || fail "$exe is not a 64-bit GUI PE32+ file: $(file "$exe")"
headers=$(x86_64-w64-mingw32-objdump -p "$exe")
exports=$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$headers")
for name in FormatByteSize64 MWRITEFILE; do
  grep -qE "\] ${name}\$" <<<"$exports" || fail "$exe does not export $name undecorated"
done
# Every FreeImage function the program imports is one the built DLL exports.
dll_exports=$(x86_64-w64-mingw32-objdump -p "$freeimage_dll" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p')
imports=$(sed -n '/DLL Name: FreeImage.dll/,/^$/p' <<<"$headers" | awk 'NR > 2 && NF >= 3 { print $3 }')
[ -n "$imports" ] || fail "$exe imports nothing from FreeImage.dll"
for name in $imports; do
  grep -qE "\] ${name}\$" <<<"$dll_exports" || fail "$exe imports $name, which FreeImage.dll does not export"
done
# Linked statically: nothing but Windows' own DLLs, FreeImage.dll and libheif.dll (LGPL,
# replaceable; it needs libde265.dll in turn) may be needed.
dlls=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers" | tr 'A-Z' 'a-z' | sort -u)
grep -qx libheif.dll <<<"$dlls" || fail "$exe does not take HEIF and AVIF from libheif.dll"
for dll in $dlls; do
  case "$dll" in
    freeimage.dll | libheif.dll | kernel32.dll | user32.dll | gdi32.dll | comctl32.dll | comdlg32.dll | shell32.dll | \
      shlwapi.dll | ole32.dll | oleaut32.dll | advapi32.dll | msvcrt.dll | api-ms-win-*) ;;
    *) fail "$exe needs $dll beside it" ;;
  esac
done

echo "-- the two programs carry the same resources"
scratch_resources=$(mktemp /tmp/tessaly-resources.XXXXXX)
# Decompiled by windres: icon images are left out (each compiler numbers them its own
# way), icon groups are compared by their images' sizes in order, the rest as it is.
resources_text() { # output, windres input options...
  local output=$1
  shift
  x86_64-w64-mingw32-windres "$@" -O rc -o "$output.raw" || fail "windres cannot read $*"
  sed -E 's/ (MOVEABLE|PURE|DISCARDABLE|PRELOAD|FIXED|IMPURE|LOADONCALL)//g' "$output.raw" |
    awk '/^\/\* Type: / { skip = ($0 ~ /^\/\* Type: icon/) } !skip' |
    sed -E 's/(, 0x[0-9a-f]+L), [0-9]+(,?[[:space:]]*\/\* Element)/\1\2/' >"$output"
  rm -f "$output.raw"
}
wine_res=$(find build/wine/CMakeFiles/Tessaly.dir -name 'tessaly.rc.res' -path '*wrc-resources*' | head -1)
[ -n "$wine_res" ] || fail "the wine build's compiled resources were not found"
resources_text "$scratch_resources.pe" -i "$exe"
resources_text "$scratch_resources.wine" -i "$wine_res" -J res
grep -q 'RT_GROUP_ICON' "$scratch_resources.pe" || fail "no icon group among $exe's resources"
diff "$scratch_resources.pe" "$scratch_resources.wine" >&2 ||
  fail "Tessaly.exe and the Winelib program carry different resources (above: < windows, > wine)"
rm -f "$scratch_resources" "$scratch_resources.pe" "$scratch_resources.wine"

echo "-- Wine: private prefix"
prefix=$(mktemp -d /tmp/tessaly-wine.XXXXXX)
scratch=$(mktemp -d /tmp/tessaly-run.XXXXXX)
export WINEPREFIX="$prefix"
export WINEDEBUG=-all
# No Mono or Gecko installers: they would ask questions nobody is there to answer.
export WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  stop_xvfb
  rm -rf "$prefix" "$scratch"
}
trap cleanup EXIT
timeout 300 wineboot -i >/dev/null 2>&1 || fail "wineboot -i did not finish"
# Without a window manager (Xvfb), Wine waits two seconds for every managed window that
# closes; unmanaged windows close at once, so time-outs can be measured.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 ||
  fail "could not set the X11 driver's Managed value"
# A crash must end the process, not wait behind the debugger's dialog on the screen.
wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1 ||
  fail "could not turn off the crash dialog"
# A Wine session keeps the display it started with: let this display-less one end
# before anything runs under Xvfb.
wineserver -w
start_xvfb "$scratch/xvfb.log" || fail "no virtual screen"

echo "-- Wine: Tessaly starts, loads its settings and either ends with 0 or keeps running"
# A copy in a folder of its own, so it reads no Config.dat left in the build folder. Once
# the program has a main window it runs until closed: then it must still be alive after
# the time limit and is stopped here (the end-to-end checks drive its window); before
# that it must end by itself with 0. A crash fails either way.
cp build/wine/Tessaly.exe.so "$scratch/"
status=0
timeout 20 wine "$scratch/Tessaly.exe.so" >"$scratch/tessaly.log" 2>&1 || status=$?
wineserver -k >/dev/null 2>&1 || true
if grep -q 'Unhandled' "$scratch/tessaly.log"; then fail "Tessaly.exe.so crashed: $(cat "$scratch/tessaly.log")"; fi
case "$status" in
  0) echo "Tessaly ended by itself with 0" ;;
  124) echo "Tessaly was still running after 20 s and was stopped" ;;
  *) fail "Tessaly.exe.so exited with $status: $(tail -5 "$scratch/tessaly.log")" ;;
esac
wineserver -w

# The Win32 checks, by one of the two compilers; the program runs from a folder of its own.
win32_checks() { # name, program, files that go beside it...
  local name=$1 program=$2 folder="$scratch/$1" log="$scratch/$1/win32-checks.log" status=0
  shift
  mkdir -p "$folder"
  cp "$@" "$folder/"
  # A PE program's C runtime ends its lines with CR LF.
  timeout 300 wine "$folder/$(basename "$program")" 2>&1 | tr -d '\r' >"$log" || status=$?
  grep -E '^(ok|FAIL) ' "$log" || true
  [ "$status" -eq 0 ] || fail "the $name Win32 checks exited with $status (124 means they did not end in time)"
  # A crash inside Wine can still end with 0: the summary line is the proof of a full run.
  grep -q '^0 check(s) failed$' "$log" || fail "the $name Win32 checks did not all run: $(tail -3 "$log")"
  if grep -q '^FAIL ' "$log"; then fail "$name Win32 checks failed"; fi
  wineserver -w
}

echo "-- Wine: Win32 checks (Winelib) under Xvfb"
win32_checks winelib build/wine/tessaly_win32_tests.exe.so build/wine/Tessaly.exe.so

echo "-- Wine: the same Win32 checks built by MinGW (PE), with the built FreeImage.dll"
win32_checks pe build/windows/tessaly_win32_tests.exe build/windows/Tessaly.exe "$freeimage_dll" \
  "$codecs/bin/libheif.dll" "$codecs/bin/libde265.dll"

echo "test-win32: all Win32 builds and checks passed."
