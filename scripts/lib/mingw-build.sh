# Sourced by the scripts that cross-build Windows libraries with MinGW-w64 from Debian's
# source packages (build-freeimage.sh, build-codecs.sh): the private apt, the source
# cache, the cached prefixes and the CMake steps they share.
#
# The sourcing script sets, before it calls these functions:
#
#   MINGW_BUILD_NAME  the prefix of every message ("build-freeimage")
#   cache             ${TESSALY_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/tessaly}
#   deps              the folder of its cached prefixes, one per key, and `current`
#   sources           the shared cache of downloaded source packages
#   work              its throw-away folder (removed on exit)
#   jobs              parallel build jobs
# and, once it builds:
#   versions          "package=version" of every source package fetched
#   key               the cache key of the prefix
#   src stage log     where sources are unpacked, the prefix being filled, the build log
#   toolchain         the CMake toolchain file

say() { echo "$MINGW_BUILD_NAME: $*" >&2; }
fail() {
  say "FAILED: $*"
  exit 1
}

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
  # apt-get update ends well even when no index could be fetched (its failures are
  # warnings): an unreachable mirror must be an error, so that the cached prefix is used
  # instead of no sources at all, or those of whichever suite answered.
  apt-get "${apt_options[@]}" -qq --error-on=any update >"$work/apt-update.log" 2>&1
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

# --- the cached prefixes -------------------------------------------------------------

# Marks the prefix as used (its age decides when it is pruned), points current at it and
# prints it.
use_prefix() {
  touch "$1"
  ln -sfn "$(basename "$1")" "$deps/current.tmp.$$" && mv -T "$deps/current.tmp.$$" "$deps/current"
  echo "$1"
}

# Other worktrees may still use older keys: only prefixes unused for two weeks go, and
# what killed builds left behind. $1 is the name every key of this prefix starts with.
prune() {
  find "$deps" -mindepth 1 -maxdepth 1 -type d -name "$1-*" ! -name "$key" -mtime +14 -exec rm -rf {} +
  find "$deps" -mindepth 1 -maxdepth 1 -type d -name '.stage-*' -mtime +1 -exec rm -rf {} +
}

# When the mirror cannot be reached, the current prefix (if it holds $1, a file relative
# to it) is printed and the script ends; else it fails.
use_cache_offline() {
  cat "$work/apt-update.log" >&2
  if [ -f "$deps/current/$1" ]; then
    say "the mirror cannot be reached; using the cached $(readlink -f "$deps/current")"
    readlink -f "$deps/current"
    exit 0
  fi
  fail "the mirror cannot be reached and nothing is cached"
}

# --- building ------------------------------------------------------------------------

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

# The MinGW runtime linked into the DLLs (and into Tessaly.exe): winpthreads and the CRT
# start-up code carry notices of their own.
runtime_licences() {
  local doc=/usr/share/doc into="$stage/licenses/mingw-w64-runtime"
  mkdir -p "$into"
  cp "$doc/mingw-w64-x86-64-dev/copyright" "$into/mingw-w64.copyright"
  cp "$doc/gcc-mingw-w64-base/copyright" "$into/gcc-runtime.copyright"
}
