#!/usr/bin/env bash
# Installs what is needed, builds the Win32 program with Winelib and runs it under Wine.
# Arguments are handed to the program (Windows paths, e.g. from `winepath -w`).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
cmake --preset wine >/dev/null
cmake --build --preset wine
exec wine build/wine/Tessaly.exe.so "$@"
