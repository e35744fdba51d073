#!/usr/bin/env bash
# Installs every Debian package the project needs, then checks that each command the
# scripts, presets and tests call is on the PATH. Safe to run again.
set -euo pipefail
packages=(
  cmake make g++ pkg-config
  libgtest-dev
  libfreeimage-dev libwebp-dev libheif-dev libjxl-dev liblcms2-dev libtiff-dev
  wine wine64 wine64-tools libwine-dev
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  xvfb xauth x11-utils imagemagick xdotool
  fonts-liberation
  file coreutils procps
  dpkg-dev nasm zip unzip
  meson ninja-build perl libheif-examples libjxl-tools libavif-bin
  clang libclang-rt-14-dev python3
  libvips-tools
  icc-profiles-free libgs10-common
)
# Each command the build and tests run, with the package that provides it. A package
# can be "installed" while one of its commands is missing (a recommended package left
# out, an alternative not set), so the commands themselves are checked.
commands=(
  cmake:cmake make:make g++:g++ pkg-config:pkg-config
  wine:wine winegcc:wine wineg++:wine wrc:wine winepath:wine wineboot:wine wineserver:wine
  x86_64-w64-mingw32-g++-posix:g++-mingw-w64-x86-64-posix
  x86_64-w64-mingw32-dlltool:binutils-mingw-w64-x86-64
  x86_64-w64-mingw32-objdump:binutils-mingw-w64-x86-64
  x86_64-w64-mingw32-windres:binutils-mingw-w64-x86-64
  Xvfb:xvfb xauth:xauth xdpyinfo:x11-utils xwininfo:x11-utils
  convert:imagemagick import:imagemagick identify:imagemagick
  file:file timeout:coreutils ps:procps
  dpkg-source:dpkg-dev nasm:nasm zip:zip unzip:unzip clang:clang python3:python3
  meson:meson ninja:ninja-build perl:perl heif-enc:libheif-examples heif-convert:libheif-examples cjxl:libjxl-tools djxl:libjxl-tools avifenc:libavif-bin avifdec:libavif-bin
  vipsthumbnail:libvips-tools
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update
  $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi

absent=""
for entry in "${commands[@]}"; do
  command -v "${entry%%:*}" >/dev/null 2>&1 || absent+=" ${entry%%:*} (package ${entry#*:})"
done
if [ -n "$absent" ]; then
  echo "setup: these commands are still missing after the install:$absent" >&2
  exit 1
fi
