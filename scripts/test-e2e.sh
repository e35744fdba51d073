#!/usr/bin/env bash
# End-to-end checks of the Win32 program under Wine, run against both programs: the
# Winelib build (Tessaly.exe.so, host FreeImage) and the Windows executable (Tessaly.exe,
# PE, with the FreeImage.dll built by scripts/build-freeimage.sh beside it). Builds what
# is needed, starts a virtual X server and a private Wine prefix, makes test images, and
# for each program copies it into a folder of its own (Config.dat, LOGFILE and outputs
# land there) with fresh test data, runs the driver (tests/e2e) and finally stops Wine.
# Argument: optionally a part of the names of the checks to run.
#
#   TESSALY_WINE_BUILD     build folder of the wine preset (default build/wine)
#   TESSALY_WINDOWS_BUILD  build folder of the windows preset (default build/windows)
#   TESSALY_E2E_PROGRAMS   the programs to drive (default "winelib pe")
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
absolute() { case "$1" in /*) echo "$1" ;; *) echo "$root/$1" ;; esac }
build=$(absolute "${TESSALY_WINE_BUILD:-build/wine}")
windows_build=$(absolute "${TESSALY_WINDOWS_BUILD:-build/windows}")
programs=${TESSALY_E2E_PROGRAMS:-winelib pe}

./scripts/setup.sh

echo "== e2e: building the wine preset in $build"
cmake --preset wine -B "$build" >/dev/null
cmake --build "$build" -j2 --target Tessaly tessaly_e2e_driver
if [[ " $programs " == *" pe "* ]]; then
  echo "== e2e: FreeImage.dll (cached after its first build)"
  deps=$(./scripts/build-freeimage.sh | tail -1)
  echo "== e2e: libheif.dll, libde265.dll, libjxl and lcms2 (cached after their first build)"
  codecs=$(./scripts/build-codecs.sh | tail -1)
  echo "== e2e: building the windows preset in $windows_build"
  cmake --preset windows -B "$windows_build" -DTESSALY_MINGW_DEPS="$deps" -DTESSALY_MINGW_CODECS="$codecs" >/dev/null
  cmake --build "$windows_build" -j2 --target Tessaly
fi

tmp=$(mktemp -d /tmp/tessaly-e2e.XXXXXX)
source scripts/wine-session.sh
cleanup() {
  local status=$?
  stop_wine_session
  rm -rf "$tmp"
  exit "$status"
}
trap cleanup EXIT

fail() {
  echo "e2e: $*" >&2
  exit 1
}

start_xvfb "$tmp/xvfb.log" || fail "no virtual screen"
echo "== e2e: creating the Wine prefix"
make_wine_prefix "$tmp/prefix" || fail "no Wine prefix"

# Test images.
data="$tmp/images"
mkdir -p "$data/in/sub" "$data/in2" "$data/many"
convert -size 64x48 gradient:red-blue "$data/in/a.jpg"
convert -size 40x30 gradient:green-yellow "$data/in/b.png"
convert -size 50x50 gradient:white-black "$data/in/x y.jpg"
convert -size 20x20 xc:orange "$data/in/sub/d.jpg"
echo "not an image" >"$data/in/notes.txt"
echo "no extension" >"$data/in/noext"
convert -size 120x80 gradient:blue-white "$data/in2/e.jpg"
convert -size 90x60 gradient:red-black "$data/in2/f.png"
convert -size 30x30 xc:purple "$data/in2/g.gif"
echo "text" >"$data/in2/h.txt"
# Two good pictures around a JPEG cut off inside its picture data.
mkdir -p "$data/bad"
convert -size 60x40 gradient:red-blue "$data/bad/a-good.jpg"
convert -size 60x40 gradient:blue-red "$data/bad/z-good.jpg"
convert -size 400x300 plasma:fractal -quality 95 "$tmp/whole.jpg"
head -c "$(($(stat -c %s "$tmp/whole.jpg") / 2))" "$tmp/whole.jpg" >"$data/bad/cut.jpg"
# Pictures that crash the image library or declare gigantic sizes, between two good ones.
mkdir -p "$data/hostile"
cp tests/data/hostile/huge_header.bmp tests/data/hostile/huge_header.pcx tests/data/hostile/thirdparty_* "$data/hostile/"
convert -size 60x40 gradient:red-blue "$data/hostile/a-good.jpg"
convert -size 60x40 gradient:blue-red "$data/hostile/z-good.jpg"
# A long list of large pictures, so a run lasts long enough to be stopped.
convert -size 2400x1800 plasma:fractal "$data/many/big-00.jpg" 2>/dev/null ||
  convert -size 2400x1800 gradient:red-blue +noise Gaussian "$data/many/big-00.jpg"
for i in $(seq -w 1 39); do cp "$data/many/big-00.jpg" "$data/many/big-$i.jpg"; done
# Twenty photos for a run on several workers, shrunk to 800 px on load: sides that halve
# evenly and sides that do not, and photos whose EXIF names a quarter turn.
mkdir -p "$data/twenty"
for i in $(seq -w 1 20); do
  size=1600x1200 orient=TopLeft
  [ $((10#$i % 3)) -eq 0 ] && size=1603x1201
  [ $((10#$i % 4)) -eq 0 ] && orient=RightTop
  [ $((10#$i % 7)) -eq 0 ] && orient=LeftBottom
  convert -size "$size" -seed "$i" plasma:fractal -orient "$orient" -quality 90 "$data/twenty/photo-$i.jpg"
done
# Twenty photos of 4000 x 3000 for the speed of the two programs: one drawn, the rest
# copies (the time of a conversion does not depend on which photo it is).
mkdir -p "$data/large"
convert -size 4000x3000 -seed 7 plasma:fractal -quality 92 "$data/large/large-01.jpg"
for i in $(seq -w 2 20); do cp "$data/large/large-01.jpg" "$data/large/large-$i.jpg"; done
# Clear on the left, half-transparent red on the right.
mkdir -p "$data/alpha"
convert -size 40x40 xc:none -fill 'rgba(255,0,0,0.5)' -draw 'rectangle 20,0 39,39' "$data/alpha/alpha.png"
# HEIF, AVIF and JPEG XL: a phone's photo (a grid turned by the container, its EXIF naming
# a turn too), an AVIF with alpha, a JPG for AVIF and JPEG XL.
mkdir -p "$data/newformats/heic" "$data/newformats/avif" "$data/newformats/jpg"
cp tests/data/corpus/heif-grid-irot1-exif6.heic "$data/newformats/heic/phone.heic"
cp tests/data/corpus/avif-alpha.avif "$data/newformats/avif/alpha.avif"
convert -size 200x150 -seed 7 plasma:fractal -quality 90 "$data/newformats/jpg/photo.jpg"
# CMYK pictures carrying their profile, and how ImageMagick shows them through it.
mkdir -p "$data/cmyk" "$data/cmyk-shown"
cp tests/data/corpus/jpeg-cmyk-profile.jpg tests/data/corpus/tiff-cmyk-profile.tif "$data/cmyk/"
cp tests/data/corpus/jpeg-cmyk-profile-shown.png tests/data/corpus/cmyk-profile-shown.png "$data/cmyk-shown/"
# A photo archive: three levels with the same names, a hidden file and folder, a link back
# to the top; every source dated in the past.
mkdir -p "$data/tree/2024/Trip" "$data/tree/2025" "$data/tree/.thumbs" "$data/counter"
convert -size 64x48 gradient:red-blue "$data/tree/IMG_0001.jpg"
convert -size 48x64 gradient:green-blue "$data/tree/2024/IMG_0001.jpg"
convert -size 40x40 gradient:yellow-red "$data/tree/2024/Trip/IMG_0001.jpg"
convert -size 30x20 gradient:white-blue "$data/tree/2025/IMG_0001.png"
cp "$data/tree/IMG_0001.jpg" "$data/tree/.hidden.jpg"
cp "$data/tree/IMG_0001.jpg" "$data/tree/.thumbs/t.jpg"
find "$data/tree" -type f -exec touch -d '2020-05-06 07:08:09' {} +
ln -s ../.. "$data/tree/2024/Trip/loop"
convert -size 20x20 xc:teal "$data/counter/a.png"
# Ten thousand small files: adding them must not freeze the window.
mkdir -p "$data/many10k"
(cd "$data/many10k" && seq -f 'photo_%05g.jpg' 1 10000 | xargs touch)
# Profiles made by tessaly-batch, which the window must open (and the other way round,
# after the driver). The second profile is the active one.
batch="$root/build/native/tessaly-batch"
cmake --preset native >/dev/null
cmake --build --preset native -j2 --target tessaly-batch >/dev/null
profiles="$data/batch-profiles.dat"
"$batch" --config "$profiles" --format webp --quality 70 --add-profile "Web 70" --save >/dev/null
"$batch" --config "$profiles" --format png --palette on --add-profile "Палитра" --save >/dev/null
"$batch" --config "$profiles" --profile "Палитра" --save >/dev/null
"$batch" --config "$data/avif-profiles.dat" --format avif --quality 50 --add-profile "AVIF 50" --save >/dev/null
# A profile with colour options of its own, while the settings in force have others.
"$batch" --config "$data/colour-profiles.dat" --to-srgb off --background C03020 --add-profile "Фон C03020" --save >/dev/null
"$batch" --config "$data/colour-profiles.dat" --to-srgb on --background 000000 --save >/dev/null

# tessaly-batch --dry-run over the tree writes nothing, and the run that follows it counts
# as it said; so does the pair after one source is touched and a foreign file put in place.
dry_run_plans_the_real_run() {
  local place="$tmp/dry" counts planned real round
  mkdir -p "$place"
  cp -r "$data/tree" "$place/tree"
  counts() { sed -n 's/^Done: \(.*\) in .*/\1/p'; }
  for round in first second; do
    local before after
    before=$(find "$place" -printf '%p %s %T@\n' | sort)
    planned=$("$batch" --config "$place/Config.dat" --recursive --out-mode folder --out-dir "$place/out" --existing skip \
      --on-error continue --dry-run "$place/tree" | counts)
    after=$(find "$place" -printf '%p %s %T@\n' | sort)
    [ "$before" = "$after" ] || { echo "e2e: tessaly-batch --dry-run changed files ($round round)" >&2; failed+=("dry run writes"); }
    real=$("$batch" --config "$place/Config.dat" --recursive --out-mode folder --out-dir "$place/out" --existing skip \
      --on-error continue "$place/tree" | counts)
    if [ -n "$planned" ] && [ "$planned" = "$real" ]; then
      echo "== e2e: tessaly-batch --dry-run ($round round) planned what the run did: $real"
    else
      echo "e2e: tessaly-batch --dry-run planned \"$planned\", the run did \"$real\" ($round round)" >&2
      failed+=("dry run counts")
    fi
    touch "$place/tree/2025/IMG_0001.png"
    echo "not ours" >"$place/out/2024/other.jpg"
    cp "$place/tree/IMG_0001.jpg" "$place/tree/2024/other.png"
  done
}

# Each program in a folder of its own, with a fresh copy of the test data.
failed=()
names_in() { (cd "$1" && shopt -s nullglob && printf '%s ' *); }
run_checks() { # name, screenshot folder, program file, files that go beside it...
  local name=$1 shots=$2 exe=$3
  shift 2
  local place="$tmp/$name"
  mkdir -p "$place/program"
  cp "$@" "$place/program/"
  cp -r "$data" "$place/data"
  rm -rf "$shots"
  mkdir -p "$shots"
  echo "== e2e: running the checks against the $name program ($(basename "$exe"))"
  local log="$place/driver.log" status=0
  timeout 1200 wine "$build/tests/e2e/tessaly_e2e_driver.exe.so" \
    "$(winepath -w "$place/program/$(basename "$exe")")" "$(winepath -w "$place/data")" "$shots" "${filter[@]}" 2>&1 |
    tee "$log" || status=$?
  if compgen -G "$place/program/LOGFILE/LOGFILE_*" >/dev/null; then
    echo "== e2e: the $name program's error log"
    cat "$place/program"/LOGFILE/LOGFILE_* || true
  fi
  echo "== e2e: screenshots in $shots"
  if [ "$status" -ne 0 ]; then
    echo "e2e: the checks against the $name program failed (status $status; 124 means the driver did not end in time)" >&2
    failed+=("$name")
  elif ! grep -qE '^[1-9][0-9]* passed, 0 failed' "$log"; then
    # A crash inside Wine can still end with 0: the summary line proves a full run.
    echo "e2e: the driver did not finish its checks against the $name program" >&2
    failed+=("$name")
  fi
  profiles_read_back "$name" "$place/data/window-profiles.dat"
  same_as_tessaly_batch "$name" "$place/data"
  new_formats_read_back "$name" "$place/data"
}

# new_formats_convert_in_the_window and the AVIF profile: what other programs make of the
# window's AVIF and JPEG XL files, and of the profile it kept.
new_formats_read_back() { # name, the program's data folder
  local data=$2 size listing
  if [ -f "$data/out-new-avif/photo.avif" ]; then
    avifdec "$data/out-new-avif/photo.avif" "$tmp/$1-avif.png" >/dev/null 2>&1 &&
      size=$(identify -format '%wx%h' "$tmp/$1-avif.png") || size=unreadable
    if [ "$size" = 200x150 ]; then echo "== e2e: avifdec reads the $1 program's AVIF: $size"
    else echo "e2e: avifdec reads the $1 program's AVIF as $size" >&2; failed+=("$1: AVIF"); fi
  fi
  if [ -f "$data/out-new-jxl/photo.jxl" ]; then
    # The JPEG kept its own coefficients: djxl rebuilds the very file.
    if djxl "$data/out-new-jxl/photo.jxl" "$tmp/$1-rebuilt.jpg" >/dev/null 2>&1 &&
       cmp -s "$tmp/$1-rebuilt.jpg" "$data/newformats/jpg/photo.jpg"; then
      echo "== e2e: djxl rebuilds the JPEG from the $1 program's JPEG XL bit for bit"
    else
      echo "e2e: djxl does not rebuild the JPEG from the $1 program's JPEG XL" >&2
      failed+=("$1: JPEG XL")
    fi
  fi
  [ -f "$data/window-avif.dat" ] || return 0
  listing=$("$batch" --config "$data/window-avif.dat" --list-profiles)
  if [ "$listing" = "1 * AVIF 50" ] &&
     "$batch" --config "$data/window-avif.dat" --show-settings | grep -qx 'TargetFormat=AVIF'; then
    echo "== e2e: tessaly-batch reads the AVIF profile the $1 program kept"
  else
    echo "e2e: tessaly-batch reads the $1 program's AVIF profile as: $listing" >&2
    failed+=("$1: AVIF profile")
  fi
}

# twenty_photos_on_several_workers_as_tessaly_batch_writes: the window's results are the
# bytes tessaly-batch writes with the same Config.dat.
same_as_tessaly_batch() { # name, the program's data folder
  local data=$2 out=$tmp/$1-batch-twenty file differ=0
  [ -f "$data/twenty-config.dat" ] || return 0
  mkdir -p "$out"
  "$batch" --config "$data/twenty-config.dat" --out-mode folder --out-dir "$out" --on-error continue \
    "$data"/twenty/*.jpg >/dev/null || failed+=("$1: tessaly-batch on the twenty photos")
  if [ "$(names_in "$data/out-twenty")" != "$(names_in "$out")" ]; then
    echo "e2e: the $1 program wrote $(names_in "$data/out-twenty")but tessaly-batch $(names_in "$out")" >&2
    failed+=("$1: twenty photos")
    return 0
  fi
  for file in "$out"/*; do
    cmp -s "$file" "$data/out-twenty/$(basename "$file")" && continue
    echo "e2e: $(basename "$file") differs between the $1 program and tessaly-batch" >&2
    differ=1
  done
  if [ "$differ" -eq 0 ]; then
    echo "== e2e: the $1 program's twenty photos are byte for byte tessaly-batch's"
  else
    failed+=("$1: twenty photos differ from tessaly-batch")
  fi
}

# tessaly-batch reads the profiles the window saved (profiles_of_tessaly_batch_open_in_the_window).
profiles_read_back() { # name, the window's Config.dat
  if [ ! -f "$2" ]; then
    [ ${#filter[@]} -gt 0 ] && return 0
    echo "e2e: the $1 program left no Config.dat with profiles for tessaly-batch" >&2
    failed+=("$1 profiles")
    return 0
  fi
  local listing expected=$'1   Web 70\n2 * Палитра\n3   Из окна'
  listing=$("$batch" --config "$2" --list-profiles)
  if [ "$listing" = "$expected" ]; then
    echo "== e2e: tessaly-batch lists the profiles the $1 program saved"
  else
    echo "e2e: tessaly-batch reads the $1 program's profiles as: $listing" >&2
    failed+=("$1 profiles")
  fi
}

filter=("$@")
if [[ "dry_run_plans_the_real_run" == *"${filter[0]:-}"* ]]; then dry_run_plans_the_real_run; fi
for name in $programs; do
  case "$name" in
    winelib) run_checks winelib "$build/screenshots" "$build/Tessaly.exe.so" ;;
    pe)
      echo "== e2e: FreeImage.dll under Wine"
      ./scripts/probe-freeimage-dll.sh "$deps/bin" || failed+=("FreeImage.dll")
      run_checks pe "$windows_build/screenshots" "$windows_build/Tessaly.exe" "$deps/bin/FreeImage.dll" \
        "$codecs/bin/libheif.dll" "$codecs/bin/libde265.dll"
      ;;
    *) fail "unknown program \"$name\" in TESSALY_E2E_PROGRAMS (winelib, pe)" ;;
  esac
done
# Both programs run the same code on the same pictures, so each_target_writes_its_format
# and the twenty photos must leave the same files in both: whatever differs is a fault
# of one of them.
same_outputs() {
  local a="$tmp/winelib/data" b="$tmp/pe/data" folder file name differ=0 same
  for folder in out-jpg out-webp out-png out-twenty out-heic-jpg out-avif-png out-new-avif out-new-jxl; do
    # Folders of checks a name filter left out are not compared.
    [ ! -d "$a/$folder" ] && [ ! -d "$b/$folder" ] && continue
    if [ ! -d "$a/$folder" ] || [ ! -d "$b/$folder" ]; then
      echo "e2e: $folder is missing after one of the runs" >&2
      differ=1
    elif [ "$(names_in "$a/$folder")" != "$(names_in "$b/$folder")" ]; then
      echo "e2e: $folder holds $(names_in "$a/$folder")from winelib but $(names_in "$b/$folder")from pe" >&2
      differ=1
    else
      same=1
      for file in "$a/$folder"/*; do
        name=$(basename "$file")
        cmp -s "$file" "$b/$folder/$name" && continue
        echo "e2e: $folder/$name differs: $(stat -c %s "$file") bytes from winelib," \
          "$(stat -c %s "$b/$folder/$name") from pe; pixels that differ:" \
          "$(compare -metric AE "$file" "$b/$folder/$name" null: 2>&1)" >&2
        same=0
        differ=1
      done
      [ "$same" -eq 0 ] || echo "== e2e: $folder: byte for byte the same from both programs: $(names_in "$a/$folder")"
    fi
  done
  return "$differ"
}
# large_photos_timed_from_start_to_end: the shipped program's time against the Winelib
# window's, on the same machine in the same run (a benchmark line; the goal is 1.3 x).
speed_of_the_two_windows() {
  local a b line='s/^benchmark: 20 photos of 4000 x 3000 to 2000 px in \([0-9]*\) ms.*/\1/p'
  [ -f "$tmp/winelib/driver.log" ] && [ -f "$tmp/pe/driver.log" ] || return 0
  a=$(sed -n "$line" "$tmp/winelib/driver.log")
  b=$(sed -n "$line" "$tmp/pe/driver.log")
  [ -n "$a" ] && [ -n "$b" ] || return 0
  awk -v a="$a" -v b="$b" 'BEGIN { printf "benchmark: 20 photos 4000 x 3000 to 2000 px, Winelib window %.2f s, Tessaly.exe %.2f s: %.2f x (goal 1.3 x)\n", a / 1000, b / 1000, b / a }'
}
speed_of_the_two_windows
ran_in() { grep -qE "^(PASS|FAIL) $2 " "$tmp/$1/driver.log" 2>/dev/null; }
if { ran_in winelib each_target_writes_its_format && ran_in pe each_target_writes_its_format; } ||
   { ran_in winelib new_formats_convert_in_the_window && ran_in pe new_formats_convert_in_the_window; }; then
  same_outputs || failed+=("the programs' outputs differ")
fi
[ ${#failed[@]} -eq 0 ] || fail "end-to-end checks failed: ${failed[*]}"
echo "== e2e: all checks passed ($programs)"
