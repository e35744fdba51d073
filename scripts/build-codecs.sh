#!/usr/bin/env bash
# The HEIF/AVIF, JPEG XL and colour-management libraries for Tessaly.exe, cross-built with
# MinGW-w64 from Debian's source packages:
#
#   libheif.dll   libheif with its codecs inside: dav1d (AV1 decoding) and aom (AV1
#                 encoding) linked statically, libde265 (HEVC decoding) through
#   libde265.dll  its own DLL. Both are LGPL: users must be able to replace them, so
#                 they stay DLLs, with import libraries under lib/.
#   lib/*.a       libjxl and jxl_threads with highway and brotli, lcms2 (libjxl's
#                 colour management, and Tessaly's), and libtiff with zlib and
#                 libjpeg-turbo (the TIFF sample layouts FreeImage.dll cannot read): static,
#                 for Tessaly.exe itself.
#
# Sources come through a private, throw-away apt configuration (scripts/lib/mingw-build.sh);
# the machine's apt sources are never touched. The prefix is cached outside any build
# folder, keyed by the source versions and this recipe:
#
#   ${XDG_CACHE_HOME:-$HOME/.cache}/tessaly/mingw-codecs/<key>/
#       bin/libheif.dll bin/libde265.dll  include/  lib/  licenses/  BUILD-INFO
#   ${XDG_CACHE_HOME:-$HOME/.cache}/tessaly/mingw-codecs/current -> <key>
#
# BUILD-INFO tells the link lines Tessaly.exe needs. A second run finds the cached
# prefix and takes seconds. The prefix is printed as the last line on standard output.
# Environment:
#
#   TESSALY_CACHE  instead of ${XDG_CACHE_HOME:-$HOME/.cache}/tessaly
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

cache=${TESSALY_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/tessaly}
deps="$cache/mingw-codecs"
sources="$cache/sources"
packages=(libheif libde265 dav1d aom jpeg-xl highway brotli lcms2 zlib libjpeg-turbo tiff)
jobs=2
MINGW_BUILD_NAME=build-codecs
# shellcheck source=lib/mingw-build.sh
source scripts/lib/mingw-build.sh

./scripts/setup.sh >&2
mkdir -p "$deps" "$sources"
work=$(mktemp -d /tmp/tessaly-codecs.XXXXXX)
trap 'rm -rf "$work"' EXIT

# --- the cache key -----------------------------------------------------------------

private_apt || use_cache_offline bin/libheif.dll
versions=()
for package in "${packages[@]}"; do versions+=("$(fetch_source "$package")"); done
recipe=$(cat scripts/build-codecs.sh scripts/lib/mingw-build.sh scripts/freeimage/toolchain.cmake \
  scripts/probe-codecs.sh scripts/codecs/* | sha256sum | cut -c1-12)
key="codecs-$(printf '%s\n' "${versions[@]}" "recipe=$recipe" | sha256sum | cut -c1-16)"
prefix="$deps/$key"
if [ -f "$prefix/bin/libheif.dll" ]; then
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
mkdir -p "$src" "$stage/include" "$stage/lib/pkgconfig" "$stage/bin" "$stage/licenses"
trap 'rm -rf "$work" "$stage"' EXIT
export TESSALY_DEPS_STAGE="$stage"
toolchain="$root/scripts/freeimage/toolchain.cmake"
log="$work/build.log"
# pkg-config answers for the libraries of the stage, never for the host's.
export PKG_CONFIG_LIBDIR="$stage/lib/pkgconfig" PKG_CONFIG_PATH=""
unset PKG_CONFIG_SYSROOT_DIR

# GCC cannot align the stack past 16 bytes on 64-bit Windows (its unwind data forbids
# it), yet where a 32- or 64-byte vector must live on the stack (one passed by value,
# an over-aligned local) it may still move it with an aligned instruction: a fault, on
# the processors that take the AVX2 and AVX-512 paths of aom, highway and libjxl. The
# assembler writes every aligned vector move as an unaligned one instead, which runs as
# fast on aligned data. Hand-written assembly (nasm) is not affected.
vector_flags="-Wa,-muse-unaligned-vector-move"
export CFLAGS="$vector_flags" CXXFLAGS="$vector_flags"
# The DLLs carry their C and C++ runtime and winpthreads: they need only Windows' own
# DLLs (and libheif.dll libde265.dll). Stripped: the symbol tables would double them.
dll_flags="-static -s -Wl,--no-undefined"
# Every CMake project records its compile lines, to report the optimisation used.
compile_db=-DCMAKE_EXPORT_COMPILE_COMMANDS=ON

cross="$work/mingw-w64.meson"
cat >"$cross" <<EOF
[binaries]
c = 'x86_64-w64-mingw32-gcc-posix'
cpp = 'x86_64-w64-mingw32-g++-posix'
ar = 'x86_64-w64-mingw32-ar'
strip = 'x86_64-w64-mingw32-strip'
windres = 'x86_64-w64-mingw32-windres'
nasm = 'nasm'
pkgconfig = 'pkg-config'

[built-in options]
c_args = ['$vector_flags']
cpp_args = ['$vector_flags']

[properties]
pkg_config_libdir = '$stage/lib/pkgconfig'

[host_machine]
system = 'windows'
cpu_family = 'x86_64'
cpu = 'x86_64'
endian = 'little'
EOF

# configure, build and install one meson project into the stage, statically, optimised
# as upstream releases it.
meson_project() {
  local name=$1 dir=$2
  shift 2
  say "  $name"
  if ! {
    env -u CFLAGS -u CXXFLAGS meson setup "$work/build-$name" "$dir" --cross-file "$cross" \
      --prefix "$stage" --libdir lib --buildtype release --default-library static "$@" &&
      meson compile -C "$work/build-$name" -j "$jobs" && meson install -C "$work/build-$name"
  } >>"$log" 2>&1; then
    tail -40 "$log" >&2
    fail "$name did not build"
  fi
}

# MinGW's compilers see no export attribute in libheif's and libde265's headers (only
# MSVC gets a __declspec), and a DLL without one exports every global symbol it holds,
# the static aom and dav1d inside it included. The functions its public header
# declares are the exports instead, as Debian's hidden-visibility build has on Linux.
exports_of() { # header, export macro, name -> prints the .def file made
  local def="$work/$3.def"
  {
    echo "EXPORTS"
    perl -0777 -ne 's{/\*.*?\*/}{}gs; s{//[^\n]*}{}g; s{^[ \t]*#[^\n]*}{}mg;
      while (/\b'"$2"'\s+[^;(]*?\b(\w+)\s*\(/gs) { print "  $1\n" }' "$1" | sort -u
  } >"$def"
  [ "$(wc -l <"$def")" -gt 10 ] || fail "no exports found in $1"
  echo "$def"
}

build_lcms2() {
  local dir
  dir=$(unpack "$(source_of lcms2)")
  say "  lcms2"
  # The library alone: its tools would want libjpeg and libtiff.
  (
    cd "$dir"
    ./configure --host=x86_64-w64-mingw32 CC=x86_64-w64-mingw32-gcc-posix CFLAGS="-O2 $vector_flags" \
      --prefix="$stage" --disable-shared --enable-static --without-jpeg --without-tiff --without-zlib &&
      make -j"$jobs" -C src install && make -C include install && make install-pkgconfigDATA
  ) >>"$log" 2>&1 || {
    tail -40 "$log" >&2
    fail "lcms2 did not build"
  }
  licence lcms2 "$dir/COPYING" "$dir/debian/copyright"
}

build_zlib() {
  local dir
  dir=$(unpack "$(source_of zlib)")
  say "  zlib"
  # The static library alone (Debian's source leaves out zlib's MinGW makefile).
  (
    cd "$dir"
    CHOST=x86_64-w64-mingw32 CC=x86_64-w64-mingw32-gcc-posix AR=x86_64-w64-mingw32-ar \
      RANLIB=x86_64-w64-mingw32-ranlib CFLAGS="-O3 $vector_flags" ./configure --static --prefix="$stage" &&
      make -j"$jobs" libz.a && make install
  ) >>"$log" 2>&1 || {
    tail -40 "$log" >&2
    fail "zlib did not build"
  }
  licence zlib "$dir/debian/copyright"
}

# libjpeg-turbo for JPEG inside TIFF (print shops' CMYK files), static, with its SIMD
# code (nasm), as Debian builds it. FreeImage.dll keeps its own copy inside, unexported.
build_jpeg() {
  local dir
  dir=$(unpack "$(source_of libjpeg-turbo)")
  cmake_project libjpeg-turbo "$dir" -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF \
    -DWITH_SIMD=ON -DCMAKE_SYSTEM_PROCESSOR=AMD64 -DCMAKE_ASM_NASM_COMPILER=nasm "$compile_db"
  grep -q '^#define WITH_SIMD 1' "$work/build-libjpeg-turbo/jconfigint.h" ||
    grep -q 'WITH_SIMD:BOOL=ON' "$work/build-libjpeg-turbo/CMakeCache.txt" || fail "libjpeg-turbo was configured without SIMD"
  licence libjpeg-turbo "$dir/LICENSE.md" "$dir/README.ijg" "$dir/debian/copyright"
}

build_tiff() {
  local dir
  dir=$(unpack "$(source_of tiff)")
  # The library with its own codecs (LZW, PackBits, CCITT, LogLuv), Deflate through zlib
  # and JPEG through libjpeg-turbo. No tools, tests or C++ stream.
  cmake_project libtiff "$dir" -Dtiff-tools=OFF -Dtiff-tests=OFF -Dtiff-contrib=OFF -Dtiff-docs=OFF \
    -Dcxx=OFF -Djpeg=ON -Dold-jpeg=ON -Djbig=OFF -Dlerc=OFF -Dlzma=OFF -Dzstd=OFF -Dwebp=OFF \
    -Dlibdeflate=OFF -Dzlib=ON -DZLIB_ROOT="$stage" -DJPEG_INCLUDE_DIR="$stage/include" \
    -DJPEG_LIBRARY="$stage/lib/libjpeg.a" "$compile_db"
  for codec in ZIP LOGLUV LZW JPEG; do
    grep -q "^#define ${codec}_SUPPORT 1" "$stage/include/tiffconf.h" || fail "libtiff was configured without $codec"
  done
  licence libtiff "$dir/LICENSE.md" "$dir/debian/copyright"
}

build_brotli() {
  local dir lib
  dir=$(unpack "$(source_of brotli)")
  say "  brotli"
  # Its CMake always builds DLLs and the brotli tool beside the static libraries, and
  # installs them all: only the static ones are built, and taken by hand, named without
  # "-static" as Debian names them.
  if ! {
    cmake -S "$dir" -B "$work/build-brotli" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_INSTALL_PREFIX="$stage" -DBROTLI_DISABLE_TESTS=ON "$compile_db" &&
      cmake --build "$work/build-brotli" -j"$jobs" --target brotlicommon-static brotlidec-static brotlienc-static
  } >>"$log" 2>&1; then
    tail -40 "$log" >&2
    fail "brotli did not build"
  fi
  for lib in common dec enc; do
    cp "$work/build-brotli/libbrotli$lib-static.a" "$stage/lib/libbrotli$lib.a"
    cp "$work/build-brotli/libbrotli$lib.pc" "$stage/lib/pkgconfig/"
  done
  cp -r "$dir/c/include/brotli" "$stage/include/"
  licence brotli "$dir/LICENSE" "$dir/debian/copyright"
}

build_highway() {
  local dir
  dir=$(unpack "$(source_of highway)")
  cmake_project highway "$dir" -DHWY_ENABLE_TESTS=OFF -DHWY_ENABLE_EXAMPLES=OFF -DHWY_ENABLE_CONTRIB=OFF \
    -DBUILD_TESTING=OFF "$compile_db"
  licence highway "$dir/LICENSE" "$dir/debian/copyright"
}

build_jxl() {
  local dir
  dir=$(unpack "$(source_of jpeg-xl)")
  # Debian's source carries neither skcms nor the other third_party copies: lcms2,
  # highway and brotli come from the stage. The objects are built as a static user
  # sees them (JXL_STATIC_DEFINE): no dllexport, which would make Tessaly.exe export
  # libjxl's functions.
  cmake_project libjxl "$dir" -DBUILD_TESTING=OFF -DJPEGXL_ENABLE_TOOLS=OFF -DJPEGXL_ENABLE_DEVTOOLS=OFF \
    -DJPEGXL_ENABLE_BENCHMARK=OFF -DJPEGXL_ENABLE_EXAMPLES=OFF -DJPEGXL_ENABLE_MANPAGES=OFF \
    -DJPEGXL_ENABLE_DOXYGEN=OFF -DJPEGXL_ENABLE_JNI=OFF -DJPEGXL_ENABLE_SJPEG=OFF -DJPEGXL_ENABLE_OPENEXR=OFF \
    -DJPEGXL_ENABLE_PLUGINS=OFF -DJPEGXL_ENABLE_VIEWERS=OFF -DJPEGXL_ENABLE_FUZZERS=OFF \
    -DJPEGXL_ENABLE_TCMALLOC=OFF -DJPEGXL_ENABLE_SKCMS=OFF -DJPEGXL_BUNDLE_SKCMS=OFF \
    -DJPEGXL_ENABLE_TRANSCODE_JPEG=ON -DJPEGXL_FORCE_SYSTEM_BROTLI=ON -DJPEGXL_FORCE_SYSTEM_HWY=ON \
    -DJPEGXL_FORCE_SYSTEM_LCMS2=ON -DJPEGXL_STATIC=OFF \
    -DCMAKE_C_FLAGS="$vector_flags" \
    -DCMAKE_CXX_FLAGS="$vector_flags -DJXL_STATIC_DEFINE -DJXL_THREADS_STATIC_DEFINE" "$compile_db"
  licence libjxl "$dir/LICENSE" "$dir/PATENTS" "$dir/debian/copyright"
}

build_de265() {
  local dir def
  dir=$(unpack "$(source_of libde265)")
  # The decoding API only (de265.h), as Debian exports it: the encoder's is unfinished.
  def=$(exports_of "$dir/libde265/de265.h" LIBDE265_API libde265)
  cmake_project libde265 "$dir" -DBUILD_SHARED_LIBS=ON -DENABLE_SDL=OFF -DENABLE_DECODER=OFF \
    -DENABLE_ENCODER=OFF -DCMAKE_SHARED_LINKER_FLAGS="$dll_flags $def" "$compile_db"
  licence libde265 "$dir/COPYING" "$dir/debian/copyright"
}

build_dav1d() {
  local dir
  dir=$(unpack "$(source_of dav1d)")
  meson_project dav1d "$dir" -Denable_asm=true -Denable_tools=false -Denable_tests=false \
    -Denable_examples=false -Denable_docs=false
  licence dav1d "$dir/COPYING" "$dir/doc/PATENTS" "$dir/debian/copyright"
}

build_aom() {
  local dir
  dir=$(unpack "$(source_of aom)")
  # The encoder alone (dav1d decodes), without libyuv and WebM, which only its tools use.
  cmake_project aom "$dir" -DAOM_TARGET_CPU=x86_64 -DENABLE_NASM=ON -DENABLE_DOCS=OFF \
    -DENABLE_EXAMPLES=OFF -DENABLE_TESTS=OFF -DENABLE_TESTDATA=OFF -DENABLE_TOOLS=OFF \
    -DCONFIG_AV1_DECODER=0 -DCONFIG_AV1_ENCODER=1 -DCONFIG_LIBYUV=0 -DCONFIG_WEBM_IO=0 \
    -DCONFIG_MULTITHREAD=1 -DGIT_EXECUTABLE=/nonexistent "$compile_db"
  licence aom "$dir/LICENSE" "$dir/PATENTS" "$dir/debian/copyright"
}

build_heif() {
  local dir def codec
  dir=$(unpack "$(source_of libheif)")
  def=$(exports_of "$dir/libheif/heif.h" LIBHEIF_API libheif)
  # The codecs are compiled in, never loaded as plugins from a folder at run time.
  cmake_project libheif "$dir" -DBUILD_SHARED_LIBS=ON -DENABLE_PLUGIN_LOADING=OFF -DWITH_EXAMPLES=OFF \
    -DWITH_LIBDE265=ON -DWITH_LIBDE265_PLUGIN=OFF -DWITH_DAV1D=ON -DWITH_DAV1D_PLUGIN=OFF \
    -DWITH_AOM_ENCODER=ON -DWITH_AOM_ENCODER_PLUGIN=OFF -DWITH_AOM_DECODER=OFF -DWITH_X265=OFF \
    -DWITH_RAV1E=OFF -DWITH_SvtEnc=OFF -DWITH_DEFLATE_HEADER_COMPRESSION=OFF \
    -DCMAKE_SHARED_LINKER_FLAGS="$dll_flags $def" "$compile_db"
  for codec in "libde265 (HEIC decoder)" "Dav1d (AVIF decoder)" "aom (AVIF encoder)"; do
    grep -qF "$codec: found (built-in)" "$log" || fail "libheif was configured without $codec"
  done
  licence libheif "$dir/COPYING" "$dir/debian/copyright"
}

build_lcms2
build_zlib
build_jpeg
build_tiff
build_brotli
build_highway
build_jxl
build_de265
build_dav1d
build_aom
build_heif
runtime_licences

# --- what went in ----------------------------------------------------------------------

# How many files of a build were compiled at each optimisation level (the last -O of
# each compile line counts; files of targets that were not built are left out).
optimisation_of() { # build folder
  python3 - "$1/compile_commands.json" <<'EOF'
import collections, json, os, re, sys
levels = collections.Counter()
for entry in json.load(open(sys.argv[1])):
    command = entry.get("command") or " ".join(entry.get("arguments", []))
    if not re.search(r"\.(c|cc|cpp|cxx)$", entry["file"]):
        continue
    output = entry.get("output") or (re.findall(r"\s-o\s+(\S+)", command) or [""])[-1]
    if not os.path.exists(os.path.join(entry["directory"], output)):
        continue
    flags = re.findall(r"(?<=\s)-O[0-3sg]?(?=\s)", " " + command + " ")
    levels[flags[-1] if flags else "no -O"] += 1
print(", ".join(f"{level} for {count} files" for level, count in levels.most_common()))
EOF
}
symbols() { x86_64-w64-mingw32-nm -A "$1" 2>/dev/null | grep -E ' [TtDdRr] ' || true; }
aligned_moves() { # archive: aligned moves of 32- and 64-byte registers left in its code
  x86_64-w64-mingw32-objdump -d "$1" | grep -cE 'vmov(aps|apd|dqa|dqa32|dqa64)[[:space:]].*%[yz]mm' || true
}
{
  dav1d_asm=$(sed -n 's/^#define HAVE_ASM //p' "$work/build-dav1d/config.h")
  [ "$dav1d_asm" = 1 ] || fail "dav1d was configured without its assembly"
  echo "  dav1d: assembly on (HAVE_ASM $dav1d_asm; nasm $(nasm -v | cut -d' ' -f3)):" \
    "$(symbols "$stage/lib/libdav1d.a" | grep -c '_avx2$') AVX2," \
    "$(symbols "$stage/lib/libdav1d.a" | grep -c '_avx512icl$') AVX-512," \
    "$(symbols "$stage/lib/libdav1d.a" | grep -c '_ssse3$') SSSE3 functions, chosen at run time"
  aom_config="$work/build-aom/config/aom_config.h"
  for feature in SSE2 SSSE3 SSE4_1 AVX AVX2; do
    grep -qE "^#define HAVE_$feature 1" "$aom_config" || fail "aom was configured without $feature"
  done
  echo "  aom: $(grep -E '^#define (HAVE_(SSE2|SSSE3|SSE4_1|SSE4_2|AVX|AVX2)|CONFIG_RUNTIME_CPU_DETECT) ' "$aom_config" |
    sed 's/^#define //; s/ 1$//' | tr '\n' ' ')(nasm and intrinsics):" \
    "$(symbols "$stage/lib/libaom.a" | grep -c '_avx2$') AVX2, $(symbols "$stage/lib/libaom.a" | grep -c '_sse4_1$') SSE4.1," \
    "$(symbols "$stage/lib/libaom.a" | grep -c '_ssse3$') SSSE3 functions, chosen at run time"
  echo "  highway (libjxl's vector code): $(symbols "$stage/lib/libjxl.a" | grep -c 'N_AVX3') AVX-512," \
    "$(symbols "$stage/lib/libjxl.a" | grep -c 'N_AVX2') AVX2, $(symbols "$stage/lib/libjxl.a" | grep -c 'N_SSE4') SSE4," \
    "$(symbols "$stage/lib/libjxl.a" | grep -c 'N_SSSE3') SSSE3 functions in libjxl.a, chosen at run time"
  echo "  aligned 32/64-byte vector moves left (GCC's unaligned stack on Windows):" \
    "libjxl.a $(aligned_moves "$stage/lib/libjxl.a"), libhwy.a $(aligned_moves "$stage/lib/libhwy.a")," \
    "libaom.a $(aligned_moves "$stage/lib/libaom.a")"
  echo "  libde265: SSE2/SSE4.1 code $(grep -q 'HAVE_SSE4_1' "$work/build-libde265/compile_commands.json" && echo on || echo OFF)"
} >"$work/simd.txt" || fail "the vector code could not be checked"
{
  for build in libjpeg-turbo libtiff lcms2 brotli highway libjxl libde265 dav1d aom libheif; do
    if [ -f "$work/build-$build/compile_commands.json" ]; then
      echo "  $build: $(optimisation_of "$work/build-$build")"
    fi
  done
  echo "  lcms2: -O2 (autotools, CFLAGS as Debian's)"
  echo "  zlib: -O3 (its configure's level)"
} >"$work/optimisation.txt"

# --- the prefix ------------------------------------------------------------------------

# aom and dav1d live inside libheif.dll; nothing else links them. The libraries' own
# CMake packages, test helpers and tools are not wanted either.
rm -rf "$stage/include/aom" "$stage/include/dav1d" "$stage/lib/libaom.a" "$stage/lib/libdav1d.a" \
  "$stage/lib/pkgconfig/aom.pc" "$stage/lib/pkgconfig/dav1d.pc" "$stage/lib/libjxl_dec.a" \
  "$stage/lib/libhwy_test.a" "$stage/lib/pkgconfig/libhwy-test.pc" "$stage/lib/liblcms2.la" \
  "$stage/lib/pkgconfig/libtiff-4.pc" "$stage/lib/pkgconfig/zlib.pc" "$stage/lib/pkgconfig/libjpeg.pc" \
  "$stage/lib/cmake" "$stage/share"
find "$stage/bin" -mindepth 1 ! -name libheif.dll ! -name libde265.dll -delete
# pkg-config files that hold wherever the prefix lies; libheif's needs nothing beside
# its import library.
sed -i "s|$stage|\${pcfiledir}/../..|g" "$stage"/lib/pkgconfig/*.pc
sed -i '/^Requires.private:/d' "$stage/lib/pkgconfig/libheif.pc"

# What Tessaly.exe uses, in the order it links them (also the probe's link line).
heif_link="lib/libheif.dll.a"
jxl_link="lib/libjxl_threads.a lib/libjxl.a lib/libhwy.a lib/libbrotlienc.a lib/libbrotlidec.a lib/libbrotlicommon.a"
lcms_link="lib/liblcms2.a"
tiff_link="lib/libtiff.a lib/libjpeg.a lib/libz.a"
static_defines="-DJXL_STATIC_DEFINE -DJXL_THREADS_STATIC_DEFINE"
for file in bin/libheif.dll bin/libde265.dll lib/libde265.dll.a $heif_link $jxl_link $lcms_link $tiff_link; do
  [ -f "$stage/$file" ] || fail "$file was not installed"
done

# --- checks and the record -----------------------------------------------------------

# The DLLs' imports: Windows' own DLLs, and libde265.dll for libheif.dll.
for dll in libheif libde265; do
  headers=$(x86_64-w64-mingw32-objdump -p "$stage/bin/$dll.dll")
  for needed in $(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers" | tr 'A-Z' 'a-z' | sort -u); do
    case "$needed" in
      kernel32.dll | user32.dll | advapi32.dll | msvcrt.dll | api-ms-win-*) ;;
      libde265.dll) [ "$dll" = libheif ] || fail "$dll.dll needs $needed" ;;
      *) fail "$dll.dll needs $needed beside it" ;;
    esac
  done
  exported=$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$headers" | grep -cE '^[[:space:]]*\[[[:space:]]*[0-9]+\] ' || true)
  [ "$exported" -eq "$(($(wc -l <"$work/$dll.def") - 1))" ] || fail "$dll.dll exports $exported functions, not its header's"
  echo "$dll.dll: $exported exports, $(stat -c %s "$stage/bin/$dll.dll") bytes" >>"$work/dlls.txt"
done

say "  the probe"
probe_link=()
for file in $heif_link $jxl_link $lcms_link $tiff_link; do probe_link+=("$stage/$file"); done
# shellcheck disable=SC2086
x86_64-w64-mingw32-g++-posix -std=c++17 -O2 -Wall $static_defines -I"$stage/include" \
  scripts/codecs/probe_codecs.cpp -o "$stage/bin/codecs-probe.exe" "${probe_link[@]}" -static -s \
  >>"$log" 2>&1 || {
  tail -40 "$log" >&2
  fail "the probe did not build against the prefix"
}
say "  running the probe under Wine"
if ! ./scripts/probe-codecs.sh "$stage/bin" >"$work/probe.txt" 2>&1; then
  cat "$work/probe.txt" >&2
  fail "the libraries do not read and write what Tessaly needs"
fi

{
  echo "Codec libraries for Tessaly.exe (x86_64, MinGW-w64 $(x86_64-w64-mingw32-gcc-posix -dumpversion))"
  echo "built $(date -u +%Y-%m-%dT%H:%M:%SZ) in $(($(date +%s) - start)) s on $(nproc) cores (-j$jobs)"
  echo "Debian source packages:"
  printf '  %s\n' "${versions[@]}"
  echo "DLLs (LGPL, shipped beside Tessaly.exe so that users can replace them):"
  sed 's/^/  bin\//' "$work/dlls.txt"
  echo "  libheif.dll holds libheif's HEIC (libde265.dll), AVIF decoding (dav1d) and AVIF encoding (aom);"
  echo "  no x265, rav1e, SVT-AV1, plugin loading or header compression."
  echo "Linking Tessaly.exe (MinGW-w64; paths relative to this prefix):"
  echo "  compile: -I include $static_defines"
  echo "  link, in this order, by full path: $heif_link $jxl_link $lcms_link $tiff_link"
  echo "  (with -static, -lheif would not find libheif.dll.a: ld takes only static archives then)"
  echo "  (-static as now, which also takes winpthreads and libstdc++ for jxl_threads)"
  echo "  libheif.dll needs no define with MinGW (LIBHEIF_STATIC_BUILD is for static MSVC users only);"
  echo "  lcms2 is static without any define (CMS_DLL would mean its DLL)."
  echo "  pkg-config files lie in lib/pkgconfig and hold wherever the prefix lies (their -lheif"
  echo "  needs a link without -static); the lines above are the ones tested by the probe."
  echo "Vector code:"
  cat "$work/simd.txt"
  echo "Optimisation (as the upstream builds release them):"
  cat "$work/optimisation.txt"
  echo "  every file also -Wa,-muse-unaligned-vector-move"
  echo "The probe under Wine (scripts/probe-codecs.sh):"
  sed 's/^/  /' "$work/probe.txt"
} >"$stage/BUILD-INFO"
# A build of the same key that finished first is as good as this one.
mv -T "$stage" "$prefix" 2>/dev/null || rm -rf "$stage"
say "built $prefix in $(($(date +%s) - start)) s"
prune codecs
use_prefix "$prefix"
