#!/usr/bin/env bash
# Codes the HEIF and AVIF pictures of corpus/ with Debian's heif-enc and puts the phone-
# style ones together with make-heif.py: grids of tiles, turned and mirrored by the
# container, with an EXIF Orientation that must not be applied on top. The tests read
# the files as they are kept here; run this again only to change them.
#
# The grids are 3 x 2 tiles of 64 x 64, each a flat colour: red, lime, blue along the top,
# yellow, magenta, cyan along the bottom (192 x 128 in all), so any turn or mirror shows.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
cd "$here/corpus"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
tiles=()
for colour in red lime blue yellow magenta cyan; do
  convert -size 64x64 "xc:$colour" "PNG24:$tmp/$colour.png"
  heif-enc -q 95 -o "$tmp/$colour.heic" "$tmp/$colour.png" >/dev/null
  tiles+=("$tmp/$colour.heic")
done
grid() { python3 "$here/make-heif.py" "$@" --tiles 3 2 "${tiles[@]}"; }

# What phones write: a grid turned by the container, its EXIF naming a turn too.
grid heif-grid-irot1-exif6.heic --irot 1 --exif-orientation 6
# A grid that declares 30000 x 30000 pixels: refused from its header, before any tile is
# decoded.
grid heif-huge-grid.heic --size 30000 30000
# Every turn, plain and mirrored about the vertical axis.
for r in 0 1 2 3; do
  grid "heif-turn-r$r.heic" --irot "$r"
  grid "heif-turn-r$r-m0.heic" --irot "$r" --imir 0
done

# AVIF pictures from libavif's avifenc (another writer than libheif, whose aom build
# stops on 10-bit input): an alpha gradient, 10 bits a sample from a 16-bit picture,
# Display P3 code points, and a PQ transfer (high dynamic range).
convert -size 24x16 gradient:red-blue \( -size 24x16 gradient:white-black \) -alpha off -compose CopyOpacity \
  -composite "PNG32:$tmp/alpha.png"
avifenc "$tmp/alpha.png" avif-alpha.avif >/dev/null
convert -size 16x8 gradient:'#000010002000-#FFFFE000C000' -depth 16 "PNG48:$tmp/deep.png"
avifenc -d 10 "$tmp/deep.png" avif-10bit.avif >/dev/null
convert -size 16x8 xc:'rgb(200,60,40)' "PNG24:$tmp/flat.png"
avifenc --cicp 12/13/6 "$tmp/flat.png" avif-p3.avif >/dev/null
avifenc --cicp 9/16/9 "$tmp/flat.png" avif-hdr-pq.avif >/dev/null
