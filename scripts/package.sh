#!/usr/bin/env bash
# Makes dist/Tessaly-<version>-windows-x64.zip: Tessaly.exe, the FreeImage.dll built by
# scripts/build-freeimage.sh, libheif.dll and libde265.dll built by scripts/build-codecs.sh
# (LGPL: kept as DLLs a user may replace), a read-me for Windows users and the licence texts of
# FreeImage, every library inside it and the MinGW runtime. Then unpacks the zip into an
# empty folder and starts Tessaly.exe from there under Wine (a fresh prefix, a virtual
# screen): its main window must appear with nothing else beside it.
#
#   package.sh [output folder]   (default dist/)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
dist=${1:-dist}
case "$dist" in /*) ;; *) dist="$root/$dist" ;; esac

fail() {
  echo "package: FAILED: $*" >&2
  exit 1
}

./scripts/setup.sh
deps=$(./scripts/build-freeimage.sh | tail -1)
codecs=$(./scripts/build-codecs.sh | tail -1)
cmake --preset windows -DTESSALY_MINGW_DEPS="$deps" -DTESSALY_MINGW_CODECS="$codecs" >/dev/null
cmake --build --preset windows --target Tessaly

version=$(sed -n 's/^[[:space:]]*VALUE "FileVersion", "\([0-9.]*\)".*/\1/p' resources/tessaly.rc)
[ -n "$version" ] || fail "no FileVersion in resources/tessaly.rc"
name="Tessaly-$version-windows-x64"

tmp=$(mktemp -d /tmp/tessaly-package.XXXXXX)
source scripts/wine-session.sh
cleanup() {
  stop_wine_session
  rm -rf "$tmp"
}
trap cleanup EXIT

# Windows users read text files with CR LF line ends.
crlf() { sed 's/\r*$/\r/' "$1" >"$2"; }

stage="$tmp/$name"
mkdir -p "$stage/licenses"
cp build/windows/Tessaly.exe "$deps/bin/FreeImage.dll" "$codecs/bin/libheif.dll" "$codecs/bin/libde265.dll" "$stage/"
sed "s/@VERSION@/$version/" resources/windows-readme.txt >"$tmp/readme"
crlf "$tmp/readme" "$stage/README.txt"
crlf "$deps/BUILD-INFO" "$stage/licenses/FreeImage-build.txt"
crlf "$codecs/BUILD-INFO" "$stage/licenses/codecs-build.txt"
for folder in "$deps"/licenses/*/ "$codecs"/licenses/*/; do
  library=$(basename "$folder")
  mkdir -p "$stage/licenses/$library"
  for file in "$folder"*; do
    base=$(basename "$file")
    crlf "$file" "$stage/licenses/$library/${base%.txt}.txt"
  done
done

for library in FreeImage libjpeg-turbo libpng zlib libtiff libwebp imath mingw-w64-runtime \
  libheif libde265 dav1d aom libjxl highway brotli lcms2; do
  [ -n "$(ls "$stage/licenses/$library" 2>/dev/null)" ] || fail "no licence text of $library"
done

mkdir -p "$dist"
zip_file="$dist/$name.zip"
rm -f "$zip_file"
(cd "$tmp" && TZ=UTC zip -q -X -r "$zip_file.part" "$name") || fail "zip failed"
mv "$zip_file.part" "$zip_file"
echo "package: $zip_file ($(stat -c %s "$zip_file") bytes)"
unzip -l "$zip_file"

# --- the zip alone runs ----------------------------------------------------------------

echo "package: starting Tessaly.exe from the unpacked zip under Wine"
unpacked="$tmp/unpacked"
mkdir -p "$unpacked"
unzip -q "$zip_file" -d "$unpacked"
program="$unpacked/$name"
[ "$(LC_ALL=C ls "$program")" = "$(printf 'FreeImage.dll\nREADME.txt\nTessaly.exe\nlibde265.dll\nlibheif.dll\nlicenses')" ] ||
  fail "the zip holds other files than Tessaly.exe, FreeImage.dll, libheif.dll, libde265.dll, README.txt and licenses/: $(ls "$program")"

start_xvfb "$tmp/xvfb.log" || fail "no virtual screen"
make_wine_prefix "$tmp/prefix" || fail "no Wine prefix"

(cd "$program" && exec wine ./Tessaly.exe) >"$tmp/tessaly.log" 2>&1 &
tessaly=$!
window=""
for _ in $(seq 1 300); do
  window=$(xdotool search --name '^TessalyEx ' 2>/dev/null | head -1) && [ -n "$window" ] && break
  kill -0 "$tessaly" 2>/dev/null || break
  sleep 0.2
done
[ -n "$window" ] || fail "no main window appeared: $(cat "$tmp/tessaly.log")"
caption=$(xdotool getwindowname "$window" 2>/dev/null || true)
import -window root "$dist/$name-started.png" >/dev/null 2>&1 || true
timeout 30 wineserver -k >/dev/null 2>&1 || true
wait "$tessaly" 2>/dev/null || true
[ ! -d "$program/LOGFILE" ] || fail "the program logged faults: $(cat "$program"/LOGFILE/*)"
echo "package: the unpacked zip runs: main window \"$caption\"; screenshot $dist/$name-started.png"
