#!/usr/bin/env bash
# FreeImage.dll for Tessaly.exe, cross-built with MinGW-w64 from Debian's source packages:
# FreeImage and the libraries its plugins use (libjpeg-turbo, libpng, zlib, libtiff,
# libwebp, Imath for TIFF's half floats). Every library is linked statically into the one
# 64-bit DLL; their static archives and headers stay beside it in the same prefix, for
# the windows build (TESSALY_MINGW_DEPS) to link libwebp and friends directly.
#
# Sources come through a private, throw-away apt configuration (deb-src lines made from
# this machine's own mirrors); the machine's apt sources are never touched. The prefix is
# cached outside any build folder, keyed by the source versions and this recipe:
#
#   ${XDG_CACHE_HOME:-$HOME/.cache}/tessaly/mingw-deps/<key>/
#       bin/FreeImage.dll  include/  lib/  licenses/  BUILD-INFO
#   ${XDG_CACHE_HOME:-$HOME/.cache}/tessaly/mingw-deps/current -> <key>
#
# A second run finds the cached prefix and takes seconds. The prefix is printed as the
# last line on standard output. Environment:
#
#   TESSALY_CACHE  instead of ${XDG_CACHE_HOME:-$HOME/.cache}/tessaly
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

cache=${TESSALY_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/tessaly}
deps="$cache/mingw-deps"
sources="$cache/sources"
packages=(freeimage libjpeg-turbo libpng1.6 zlib tiff libwebp imath)
jobs=2
MINGW_BUILD_NAME=build-freeimage
# shellcheck source=lib/mingw-build.sh
source scripts/lib/mingw-build.sh

./scripts/setup.sh >&2
mkdir -p "$deps" "$sources"
work=$(mktemp -d /tmp/tessaly-freeimage.XXXXXX)
trap 'rm -rf "$work"' EXIT

# --- the cache key -----------------------------------------------------------------

private_apt || use_cache_offline bin/FreeImage.dll
versions=()
for package in "${packages[@]}"; do versions+=("$(fetch_source "$package")"); done
recipe=$(cat scripts/build-freeimage.sh scripts/lib/mingw-build.sh scripts/freeimage/* | sha256sum | cut -c1-12)
key="freeimage-$(printf '%s\n' "${versions[@]}" "recipe=$recipe" | sha256sum | cut -c1-16)"
prefix="$deps/$key"
if [ -f "$prefix/bin/FreeImage.dll" ]; then
  say "cached: $prefix"
  use_prefix "$prefix"
  exit 0
fi

# --- the build -----------------------------------------------------------------------

say "building $key from ${versions[*]}"
start=$(date +%s)
src="$work/src"
stage="$deps/.stage-$key-$$"
rm -rf "$stage"
mkdir -p "$src" "$stage/include" "$stage/lib" "$stage/bin" "$stage/licenses"
trap 'rm -rf "$work" "$stage"' EXIT
export TESSALY_DEPS_STAGE="$stage"
toolchain="$root/scripts/freeimage/toolchain.cmake"
log="$work/build.log"

build_zlib() {
  local dir
  dir=$(unpack "$(source_of zlib)")
  say "  zlib"
  # The repacked source lacks zlib's Windows makefile; the library is a handful of files.
  (
    cd "$dir"
    for c in adler32 compress crc32 deflate gzclose gzlib gzread gzwrite infback inffast inflate inftrees trees \
      uncompr zutil; do
      x86_64-w64-mingw32-gcc-posix -O2 -DNDEBUG -c "$c.c" -o "$work/zlib-$c.o" || exit 1
    done
    x86_64-w64-mingw32-ar rcs "$stage/lib/libz.a" "$work"/zlib-*.o
  ) >>"$log" 2>&1 || fail "zlib did not build"
  cp "$dir/zlib.h" "$dir/zconf.h" "$stage/include/"
  licence zlib "$dir/LICENSE" "$dir/debian/copyright"
}

build_jpeg() {
  local dir
  dir=$(unpack "$(source_of libjpeg-turbo)")
  cmake_project libjpeg-turbo "$dir" -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF \
    -DWITH_SIMD=ON -DREQUIRE_SIMD=ON -DCMAKE_ASM_NASM_COMPILER=nasm
  licence libjpeg-turbo "$dir/LICENSE.md" "$dir/README.ijg" "$dir/debian/copyright"
}

build_png() {
  local dir
  dir=$(unpack "$(source_of libpng1.6)")
  cmake_project libpng "$dir" -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF \
    -DZLIB_LIBRARY="$stage/lib/libz.a" -DZLIB_INCLUDE_DIR="$stage/include"
  licence libpng "$dir/LICENSE" "$dir/debian/copyright"
}

build_tiff() {
  local dir
  dir=$(unpack "$(source_of tiff)")
  # Deflate, JPEG and the codecs inside libtiff; the rare LZMA, ZSTD, WEBP, JBIG and
  # LERC compressions are left out.
  cmake_project libtiff "$dir" -Dtiff-tools=OFF -Dtiff-tests=OFF -Dtiff-contrib=OFF -Dtiff-docs=OFF \
    -Dcxx=OFF -Dzlib=ON -Djpeg=ON -Dold-jpeg=ON -Dlibdeflate=OFF -Djbig=OFF -Dlerc=OFF -Dlzma=OFF \
    -Dzstd=OFF -Dwebp=OFF -Dsphinx=OFF \
    -DZLIB_LIBRARY="$stage/lib/libz.a" -DZLIB_INCLUDE_DIR="$stage/include" \
    -DJPEG_LIBRARY="$stage/lib/libjpeg.a" -DJPEG_INCLUDE_DIR="$stage/include"
  licence libtiff "$dir/LICENSE.md" "$dir/debian/copyright"
}

build_webp() {
  local dir
  dir=$(unpack "$(source_of libwebp)")
  cmake_project libwebp "$dir" -DWEBP_BUILD_ANIM_UTILS=OFF -DWEBP_BUILD_CWEBP=OFF -DWEBP_BUILD_DWEBP=OFF \
    -DWEBP_BUILD_GIF2WEBP=OFF -DWEBP_BUILD_IMG2WEBP=OFF -DWEBP_BUILD_VWEBP=OFF -DWEBP_BUILD_WEBPINFO=OFF \
    -DWEBP_BUILD_WEBPMUX=OFF -DWEBP_BUILD_EXTRAS=OFF -DWEBP_BUILD_LIBWEBPMUX=ON
  licence libwebp "$dir/COPYING" "$dir/PATENTS" "$dir/debian/copyright"
}

build_imath() {
  local dir
  dir=$(unpack "$(source_of imath)")
  cmake_project imath "$dir" -DBUILD_TESTING=OFF -DPYTHON=OFF -DDOCS=OFF -DIMATH_INSTALL_PKG_CONFIG=OFF
  licence imath "$dir/LICENSE.md" "$dir/debian/copyright"
}

build_freeimage() {
  local dir
  dir=$(unpack "$(source_of freeimage)")
  cmake_project FreeImage "$root/scripts/freeimage" -DFREEIMAGE_SOURCE="$dir" -DDEPS_PREFIX="$stage"
  licence FreeImage "$dir/license-fi.txt" "$dir/license-gplv2.txt" "$dir/license-gplv3.txt" "$dir/debian/copyright"
}

build_zlib
build_jpeg
build_png
build_tiff
build_webp
build_imath
build_freeimage
runtime_licences
# The libraries' own tools and build metadata are not wanted.
find "$stage/bin" -mindepth 1 ! -name FreeImage.dll ! -name freeimage-probe.exe -delete
rm -rf "$stage/share" "$stage/lib/cmake" "$stage/lib/pkgconfig"

# --- checks and the record -----------------------------------------------------------

dll="$stage/bin/FreeImage.dll"
[ -f "$dll" ] || fail "FreeImage.dll was not installed"
./scripts/check-freeimage-dll.sh "$dll" >&2 || fail "the DLL does not pass its checks"
say "  running the DLL under Wine"
if ! ./scripts/probe-freeimage-dll.sh "$stage/bin" >"$work/probe.txt" 2>&1; then
  cat "$work/probe.txt" >&2
  fail "the DLL does not read and write the formats Tessaly needs"
fi
{
  echo "FreeImage.dll for Tessaly.exe (x86_64, MinGW-w64 $(x86_64-w64-mingw32-gcc-posix -dumpversion))"
  echo "built $(date -u +%Y-%m-%dT%H:%M:%SZ) in $(($(date +%s) - start)) s, $(stat -c %s "$dll") bytes"
  echo "Debian source packages:"
  printf '  %s\n' "${versions[@]}"
  echo "Formats (FREE_IMAGE_FORMAT, name, support), then the round trips:"
  sed 's/^/  /' "$work/probe.txt"
} >"$stage/BUILD-INFO"
# A build of the same key that finished first is as good as this one.
mv -T "$stage" "$prefix" 2>/dev/null || rm -rf "$stage"
say "built $prefix in $(($(date +%s) - start)) s"
prune freeimage
use_prefix "$prefix"
