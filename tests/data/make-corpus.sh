#!/usr/bin/env bash
# Draws the small pictures in corpus/ with ImageMagick: each shows one way real files
# came out wrong. The tests read the files as they are kept here; run this again only
# to change them. Every picture is tiny and has distinct corners (top left red, top
# right green, bottom left blue, bottom right white) so a turn or mirror shows.
set -euo pipefail
cd "$(dirname "$0")/corpus"
m() { convert "$@"; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
m -size 6x4 xc:gray50 -fill red -draw 'point 0,0' -fill lime -draw 'point 5,0' \
  -fill blue -draw 'point 0,3' -fill white -draw 'point 5,3' -depth 8 PNG24:"$tmp/corners.png"
corners() { m "$tmp/corners.png" "$@"; }

# 16-bit grey, flat 4660 (0x1234): 8 bits hold 18.
m -size 8x6 xc:'#123412341234' -depth 16 -strip -define png:color-type=0 grey16.png
m -size 8x6 xc:'#123412341234' -depth 16 -strip -type Grayscale -compress none grey16.tif

# A TIFF Orientation tag of 6 (turn a quarter clockwise to view), in RGB and in YCbCr,
# which FreeImage reads through libtiff's own (mirroring) path.
corners -strip -type TrueColor -compress none -orient RightTop turned-6.tif
corners -strip -colorspace YCbCr -compress none -orient RightTop turned-6-ycbcr.tif

# A GIF whose transparent index is used.
m -size 6x4 xc:white -fill red -draw 'rectangle 0,0 2,1' \
  -alpha set -region 3x2+3+2 -channel A -evaluate set 0 +channel +region -strip clear.gif

# Valid pictures under 50 bytes.
m -size 1x1 xc:red -strip tiny.gif
m -size 1x1 xc:red -strip -define webp:lossless=true tiny.webp

# BMPs with the 124-byte (V5) header ImageMagick writes by default: 24-bit, 32-bit with
# alpha (bit fields) and 8-bit with a palette.
corners -strip -type TrueColor bmp-v5-24.bmp
corners -strip -alpha set -region 1x1+2+1 -channel A -evaluate set 50% +channel +region -type TrueColorAlpha bmp-v5-32.bmp
corners -strip -type Palette bmp-v5-8.bmp

# A GIF whose first (only) frame, 16 x 16 red, lies at +10+5 on a 40 x 40 screen.
m -size 16x16 xc:red -set page 40x40+10+5 -strip gif-small-frame.gif

# Run-length BMPs as ImageMagick writes them (each row ended before the end of the
# picture is marked): the 40-byte header and the default (V5) one.
corners -strip -type Palette -compress RLE BMP3:bmp-rle8.bmp
corners -strip -type Palette -compress RLE bmp-v5-rle8.bmp

# A photo-like JPEG (4:2:0) and its decode by libjpeg's accurate transform with smooth
# chroma, as ImageMagick, libvips and Pillow show it.
m -seed 7 -size 48x32 plasma:red-blue -quality 75 -sampling-factor 2x2 -strip plasma.jpg
m plasma.jpg -depth 8 PNG24:plasma-accurate.png

# 2 bits per sample of RGB, which FreeImage's TIFF reader says it cannot handle.
m -size 4x2 xc:red -depth 2 -type TrueColor -strip -compress none tiff-2bit-rgb.tif

# 32-bit float samples on 0..1, RGB and RGBA (alpha one half).
m -size 4x2 xc:'rgb(255,128,0)' -depth 32 -define quantum:format=floating-point -strip float-rgb.tif 2>/dev/null
m -size 4x2 xc:'rgba(255,128,0,0.5)' -depth 32 -define quantum:format=floating-point -strip float-rgba.tif 2>/dev/null

# Colour multiplied by its alpha (associated alpha), 8 and 16 bits: 200,100,50 at one half.
m -size 2x1 xc:'rgba(200,100,50,0.5)' -define tiff:alpha=associated -depth 8 -strip assoc-alpha-8.tif 2>/dev/null
m -size 2x1 xc:'rgba(200,100,50,0.5)' -define tiff:alpha=associated -depth 16 -strip assoc-alpha-16.tif 2>/dev/null
# Signed 16-bit RGB, which FreeImage has no image type for.
m -size 2x1 xc:'rgb(200,100,50)' -define quantum:format=signed -depth 16 -strip signed-16.tif 2>/dev/null

# TIFF sample layouts FreeImage refuses or misreads, read through libtiff: the corners in
# 12-bit RGB (LZW), 4-bit RGB, 12-bit grey, planar tiles (42 x 28 in 16 x 16 tiles), CMYK
# of 8 bits, 16 bits (Deflate) and with alpha, CIELab of 8 and 16 bits, half floats.
big() { corners -scale 700% "$@"; }
corners -strip -depth 12 -compress lzw tiff-12bit-rgb.tif
corners -strip -depth 4 -type TrueColor tiff-4bit-rgb.tif
corners -strip -colorspace gray -depth 12 tiff-12bit-grey.tif
big -strip -type TrueColor -define tiff:tile-geometry=16x16 -interlace plane tiff-tiled-planar.tif
corners -strip -colorspace CMYK tiff-cmyk-8.tif
corners -strip -colorspace CMYK -depth 16 -compress zip tiff-cmyk-16.tif
corners -strip -alpha set -region 1x1+2+1 -channel A -evaluate set 50% +channel +region -colorspace CMYK tiff-cmyk-alpha.tif
corners -strip -colorspace Lab tiff-lab-8.tif
corners -strip -colorspace Lab -depth 16 tiff-lab-16.tif
corners -strip -type TrueColor -define quantum:format=floating-point -depth 16 tiff-half.tif

# CMYK through a profile (ghostscript's small CMYK profile, package libgs10-common), as a
# TIFF and a JPEG, with the picture ImageMagick shows through that profile.
icc=/usr/share/color/icc
corners -strip -profile "$icc/sRGB.icc" -profile "$icc/ghostscript/ps_cmyk.icc" tiff-cmyk-profile.tif
corners -strip -profile "$icc/sRGB.icc" -profile "$icc/ghostscript/ps_cmyk.icc" -quality 100 jpeg-cmyk-profile.jpg
m tiff-cmyk-profile.tif -profile "$icc/sRGB.icc" -strip -depth 8 PNG24:cmyk-profile-shown.png
m jpeg-cmyk-profile.jpg -profile "$icc/sRGB.icc" -strip -depth 8 PNG24:jpeg-cmyk-profile-shown.png

# The corners in Adobe RGB (1998) colours (icc-profiles-free's compatible profile), and as
# ImageMagick shows them in sRGB; a CMYK JPEG without a profile (Adobe's inverted inks).
corners -profile "$icc/compatibleWithAdobeRGB1998.icc" -fill 'rgb(200,100,50)' -draw 'point 2,1' \
  -define png:exclude-chunks=date,time -define png:preserve-iCCP=true adobe-rgb.png
m adobe-rgb.png -profile "$icc/sRGB.icc" -strip -depth 8 PNG24:adobe-rgb-shown.png
corners -strip -colorspace CMYK -quality 100 jpeg-cmyk.jpg
