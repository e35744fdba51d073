#!/usr/bin/env bash
# How right the colours come out: sources carrying a profile (made here with ImageMagick
# and the profiles of Debian's icc-profiles-free and ghostscript packages) converted by
# tessaly-batch to JPG, PNG and WEBP, each result shown through the profile it carries
# (by ImageMagick and lcms2), against the source shown through its own: PSNR in dB. Then
# the same with "Convert to sRGB": the raw pixels against that reference, and the
# profile the result carries.
#
#   bench/colour-table.sh [build folder, default build/native]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/native}
batch="$build/tessaly-batch"
icc=/usr/share/color/icc
work=$(mktemp -d /tmp/tessaly-colour.XXXXXX)
trap 'rm -rf "$work"' EXIT

# A photo-like picture with saturated and dark parts, 640 x 480.
convert -seed 3 -size 640x480 plasma:red-blue \( -size 640x480 gradient:black-yellow \) -compose multiply \
  -composite -depth 8 "$work/picture.png"
src="$work/src"
mkdir -p "$src"
convert "$work/picture.png" -profile "$icc/sRGB.icc" -profile "$icc/ghostscript/default_cmyk.icc" -quality 92 \
  "$src/cmyk-swop.jpg"
convert "$work/picture.png" -profile "$icc/sRGB.icc" -profile "$icc/compatibleWithAdobeRGB1998.icc" \
  -define png:preserve-iCCP=true "$src/adobe.png"
convert "$work/picture.png" -profile "$icc/sRGB.icc" -profile "$icc/ghostscript/rommrgb.icc" -depth 16 \
  "$src/prophoto-16.tif"
convert "$work/picture.png" -profile "$icc/sRGB.icc" -profile "$icc/compatibleWithAdobeRGB1998.icc" -quality 92 \
  "$src/adobe.jpg"
convert "$work/picture.png" -colorspace CMYK -quality 92 "$src/cmyk-plain.jpg"

# A picture as a colour-managed viewer shows it: through its profile, or as sRGB without one.
shown() { # file, result
  if identify -verbose "$1" 2>/dev/null | grep -q 'Profile-icc'; then
    convert "$1" -profile "$icc/sRGB.icc" -strip -depth 8 PNG24:"$2"
  else
    convert "$1" -colorspace sRGB -strip -depth 8 PNG24:"$2"
  fi
}
raw() { convert "$1" -strip -depth 8 PNG24:"$2"; }
psnr() { { compare -metric PSNR "$1" "$2" null: 2>&1 || true; } | cut -d' ' -f1; }
profile_of() {
  identify -verbose "$1" 2>/dev/null | sed -n 's/^ *icc:description: //p' | head -1 | grep . || echo none
}

echo "| source | to JPG | to PNG | to WEBP | profile carried |"
echo "|---|---|---|---|---|"
for srgb in off on; do
  [ "$srgb" = on ] && echo "| **Convert to sRGB** (raw pixels) | | | | |"
  for file in cmyk-swop.jpg adobe.png prophoto-16.tif adobe.jpg cmyk-plain.jpg; do
    shown "$src/$file" "$work/reference.png"
    row="| $file"
    carried=""
    for target in jpg png webp; do
      out="$work/out-$srgb-$target"
      mkdir -p "$out"
      "$batch" --config "$out/config.dat" --format "$target" --quality 95 --out-mode folder --out-dir "$out" \
        --to-srgb "$srgb" "$src/$file" >/dev/null 2>&1 || true
      result="$out/${file%.*}.$target"
      if [ ! -f "$result" ]; then
        row="$row | failed"
        continue
      fi
      if [ "$srgb" = on ]; then raw "$result" "$work/result.png"; else shown "$result" "$work/result.png"; fi
      row="$row | $(psnr "$work/reference.png" "$work/result.png")"
      carried="$carried$(profile_of "$result"); "
    done
    echo "$row | ${carried%; } |"
  done
done
