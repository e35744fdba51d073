#!/usr/bin/env bash
# Installs every Debian package the project needs. Safe to run again.
set -euo pipefail
packages=(
  cmake make g++ pkg-config
  libgtest-dev
  libfreeimage-dev
  wine wine64 wine64-tools libwine-dev
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  xvfb xauth x11-utils imagemagick xdotool
  fonts-liberation
  file coreutils
  clang libclang-rt-14-dev python3
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update
$SUDO apt-get install -y --no-install-recommends "${missing[@]}"
