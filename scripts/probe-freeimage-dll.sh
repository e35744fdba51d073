#!/usr/bin/env bash
# Runs freeimage-probe.exe beside FreeImage.dll under Wine: it lists the DLL's formats and
# round-trips every format Tessaly reads or writes. Uses the caller's WINEPREFIX when one
# is set (the end-to-end run's), else a throw-away one.
# Usage: probe-freeimage-dll.sh <folder holding FreeImage.dll and freeimage-probe.exe>
set -euo pipefail
bin=${1:?usage: probe-freeimage-dll.sh <folder holding FreeImage.dll and freeimage-probe.exe>}
if [ ! -f "$bin/FreeImage.dll" ] || [ ! -f "$bin/freeimage-probe.exe" ]; then
  echo "probe-freeimage-dll: $bin lacks FreeImage.dll or freeimage-probe.exe" >&2
  exit 1
fi
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ -z "${WINEPREFIX:-}" ]; then
  own=$(mktemp -d /tmp/tessaly-probe.XXXXXX)
  export WINEPREFIX="$own"
  trap 'timeout 30 wineserver -k >/dev/null 2>&1 || true; rm -rf "$own"' EXIT
  # Made beforehand, so that its messages stay out of the probe's output.
  timeout 300 wineboot -i >/dev/null 2>&1 || { echo "probe-freeimage-dll: wineboot failed" >&2; exit 1; }
  timeout 120 wineserver -w >/dev/null 2>&1 || true
fi
status=0
output=$(timeout 300 wine "$bin/freeimage-probe.exe" 2>&1 | tr -d '\r') || status=$?
echo "$output"
[ "$status" -eq 0 ] || exit 1
# A crash inside Wine can still end with 0: the summary line proves a full run.
grep -qxE '[0-9]+ passed, 0 failed' <<<"$output"
