#!/usr/bin/env bash
# Installs what is needed, builds the Win32 program with Winelib and runs it under Wine.
# Arguments are handed to the program (Windows paths, e.g. from `winepath -w`).
# Without a display (a server, a container) the window opens on a virtual screen.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/lib/xvfb.sh
./scripts/setup.sh
cmake --preset wine >/dev/null
cmake --build --preset wine
export WINEDEBUG=${WINEDEBUG:--all}
# Wine's first start would otherwise offer to download Mono and Gecko in a dialog that
# waits for an answer (nobody can give it on a virtual screen); the program needs neither.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
if [ -z "${DISPLAY:-}" ]; then
  log=$(mktemp /tmp/tessaly-run-xvfb.XXXXXX)
  trap 'stop_xvfb; rm -f "$log"' EXIT
  start_xvfb "$log"
  echo "No DISPLAY: running on the virtual screen $DISPLAY; close with Ctrl+C." >&2
fi
wine build/wine/Tessaly.exe.so "$@"
