#!/usr/bin/env bash
# Installs what is needed, builds the Win32 program with Winelib and runs it under Wine.
# Arguments are handed to the program (Windows paths, e.g. from `winepath -w`).
# Without a display (a server, a container) the window opens on a virtual screen.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
cmake --preset wine >/dev/null
cmake --build --preset wine
export WINEDEBUG=${WINEDEBUG:--all}
if [ -z "${DISPLAY:-}" ]; then
  echo "No DISPLAY: running on a virtual screen (xvfb-run); close with Ctrl+C." >&2
  exec xvfb-run -a -s "-screen 0 1024x768x24" wine build/wine/Tessaly.exe.so "$@"
fi
exec wine build/wine/Tessaly.exe.so "$@"
