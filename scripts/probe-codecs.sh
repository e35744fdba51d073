#!/usr/bin/env bash
# Runs codecs-probe.exe beside libheif.dll and libde265.dll under Wine: AVIF written with
# aom and read with dav1d, a HEIC made here by Debian's heif-enc read through libde265,
# JPEG XL lossy, lossless and repacked from a JPEG made here by ImageMagick, and lcms2's
# Adobe RGB to sRGB. Uses the caller's WINEPREFIX when one is set, else a throw-away one.
# Usage: probe-codecs.sh <folder holding codecs-probe.exe, libheif.dll and libde265.dll>
set -euo pipefail
bin=${1:?usage: probe-codecs.sh <folder holding codecs-probe.exe, libheif.dll and libde265.dll>}
for file in codecs-probe.exe libheif.dll libde265.dll; do
  [ -f "$bin/$file" ] || { echo "probe-codecs: $bin lacks $file" >&2; exit 1; }
done
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
run=$(mktemp -d /tmp/tessaly-codecs-probe.XXXXXX)
own=""
cleanup() {
  if [ -n "$own" ]; then
    timeout 30 wineserver -k >/dev/null 2>&1 || true
    rm -rf "$own"
  fi
  rm -rf "$run"
}
trap cleanup EXIT

# The pictures are made on the host, by other code than the one under test: the
# probe's pattern (R = 4x, G = 5y, B = 128, 64x48) as PNG, then HEIC through x265, and
# a JPEG of it.
cp "$bin/codecs-probe.exe" "$bin/libheif.dll" "$bin/libde265.dll" "$run/"
perl -e 'print "P6\n64 48\n255\n"; for $y (0..47) { for $x (0..63) { print pack("C3", 4*$x, 5*$y, 128) } }' \
  >"$run/sample.ppm"
convert "$run/sample.ppm" "$run/sample.png"
convert "$run/sample.ppm" -strip -quality 90 "$run/sample.jpg"
heif-enc -q 90 -o "$run/sample.heic" "$run/sample.png" >/dev/null

if [ -z "${WINEPREFIX:-}" ]; then
  own=$(mktemp -d /tmp/tessaly-probe.XXXXXX)
  export WINEPREFIX="$own"
  # Made beforehand, so that its messages stay out of the probe's output.
  timeout 300 wineboot -i >/dev/null 2>&1 || { echo "probe-codecs: wineboot failed" >&2; exit 1; }
  timeout 120 wineserver -w >/dev/null 2>&1 || true
fi
status=0
output=$(cd "$run" && timeout 300 wine ./codecs-probe.exe sample.heic sample.jpg 2>&1 | tr -d '\r') || status=$?
echo "$output"
[ "$status" -eq 0 ] || exit 1
# A crash inside Wine can still end with 0: the summary line proves a full run.
grep -qxE '[0-9]+ passed, 0 failed' <<<"$output"
