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

say() { echo "build-freeimage: $*" >&2; }
fail() {
  say "FAILED: $*"
  exit 1
}

./scripts/setup.sh >&2
mkdir -p "$deps" "$sources"
work=$(mktemp -d /tmp/tessaly-freeimage.XXXXXX)
trap 'rm -rf "$work"' EXIT

# --- private apt -----------------------------------------------------------------

apt_options=()
private_apt() {
  local apt="$work/apt"
  mkdir -p "$apt/lists/partial" "$apt/archives/partial"
  local file
  for file in /etc/apt/sources.list.d/*.sources; do
    [ -e "$file" ] || continue
    # deb822 stanzas: one deb-src line per suite, with the stanza's URI, components and key.
    awk '
      function flush(   n, i, s) {
        if (uri != "" && suites != "") {
          n = split(suites, s, " ")
          for (i = 1; i <= n; i++)
            print "deb-src " (key != "" ? "[signed-by=" key "] " : "") uri " " s[i] " " components
        }
        uri = suites = components = key = ""
      }
      /^[[:space:]]*$/ { flush(); next }
      /^URIs:/ { uri = $2 }
      /^Suites:/ { $1 = ""; suites = $0 }
      /^Components:/ { $1 = ""; components = $0 }
      /^Signed-By:/ { key = $2 }
      END { flush() }' "$file"
  done >"$apt/sources.list"
  if [ -f /etc/apt/sources.list ]; then
    sed -n 's/^[[:space:]]*deb[[:space:]]/deb-src /p' /etc/apt/sources.list >>"$apt/sources.list"
  fi
  [ -s "$apt/sources.list" ] || fail "no apt mirror found in /etc/apt"
  apt_options=(-o "Dir::Etc::sourcelist=$apt/sources.list" -o Dir::Etc::sourceparts=-
    -o "Dir::State=$apt" -o "Dir::State::Lists=$apt/lists" -o "Dir::Cache=$apt"
    -o "Dir::Cache::archives=$apt/archives" -o Dir::State::status=/var/lib/dpkg/status
    -o APT::Sandbox::User=root)
  apt-get "${apt_options[@]}" -qq update >"$work/apt-update.log" 2>&1
}

# Fetches the newest version of a source package that the mirror really serves (an index
# can name a version before its files arrive); prints "package=version".
fetch_source() {
  local package=$1 version
  for version in $(apt-cache "${apt_options[@]}" showsrc --only-source "$package" 2>/dev/null |
    sed -n 's/^Version: //p' | sort -u -V -r); do
    if (cd "$sources" && apt-get "${apt_options[@]}" -qq source --download-only "$package=$version") \
      >>"$work/apt-source.log" 2>&1; then
      echo "$package=$version"
      return 0
    fi
  done
  cat "$work/apt-source.log" >&2
  fail "no version of the source package $package could be fetched"
}

dsc_of() { # package=version -> its .dsc in the source cache
  local package=${1%%=*} version=${1#*=}
  echo "$sources/${package}_${version#*:}.dsc"
}

# --- the cache key -----------------------------------------------------------------

# Marks the prefix as used (its age decides when it is pruned), points current at it and
# prints it.
use_prefix() {
  touch "$1"
  ln -sfn "$(basename "$1")" "$deps/current.tmp.$$" && mv -T "$deps/current.tmp.$$" "$deps/current"
  echo "$1"
}

# Other worktrees may still use older keys: only prefixes unused for two weeks go, and
# what killed builds left behind.
prune() {
  find "$deps" -mindepth 1 -maxdepth 1 -type d -name 'freeimage-*' ! -name "$key" -mtime +14 -exec rm -rf {} +
  find "$deps" -mindepth 1 -maxdepth 1 -type d -name '.stage-*' -mtime +1 -exec rm -rf {} +
}

if ! private_apt; then
  cat "$work/apt-update.log" >&2
  if [ -f "$deps/current/bin/FreeImage.dll" ]; then
    say "the mirror cannot be reached; using the cached $(readlink -f "$deps/current")"
    readlink -f "$deps/current"
    exit 0
  fi
  fail "the mirror cannot be reached and nothing is cached"
fi
versions=()
for package in "${packages[@]}"; do versions+=("$(fetch_source "$package")"); done
recipe=$(cat scripts/build-freeimage.sh scripts/freeimage/* | sha256sum | cut -c1-12)
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

# dpkg-source checks the archives against the .dsc's checksums (its signature was
# checked by apt through the signed index).
unpack() { # package=version -> prints the unpacked folder
  local into="$src/${1%%=*}"
  dpkg-source -x "$(dsc_of "$1")" "$into" >>"$log" 2>&1 || fail "dpkg-source -x $(dsc_of "$1")"
  echo "$into"
}
source_of() { # package name -> its package=version
  local v
  for v in "${versions[@]}"; do [ "${v%%=*}" = "$1" ] && echo "$v"; done
}

# configure, build and install one CMake project into the stage; the log is kept quiet
# unless the step fails.
cmake_project() {
  local name=$1 dir=$2
  shift 2
  say "  $name"
  if ! {
    cmake -S "$dir" -B "$work/build-$name" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
      -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$stage" -DBUILD_SHARED_LIBS=OFF \
      -DCMAKE_POLICY_DEFAULT_CMP0074=NEW "$@" &&
      cmake --build "$work/build-$name" -j"$jobs" && cmake --install "$work/build-$name"
  } >>"$log" 2>&1; then
    tail -40 "$log" >&2
    fail "$name did not build"
  fi
}

licence() { # library name, files...
  local name=$1
  shift
  mkdir -p "$stage/licenses/$name"
  cp "$@" "$stage/licenses/$name/"
}

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

# The MinGW runtime linked into the DLL (and into Tessaly.exe): winpthreads and the CRT
# start-up code carry notices of their own.
runtime_licences() {
  local doc=/usr/share/doc into="$stage/licenses/mingw-w64-runtime"
  mkdir -p "$into"
  cp "$doc/mingw-w64-x86-64-dev/copyright" "$into/mingw-w64.copyright"
  cp "$doc/gcc-mingw-w64-base/copyright" "$into/gcc-runtime.copyright"
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
prune
use_prefix "$prefix"
