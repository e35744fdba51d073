// A picture as the codecs of their own libraries (HEIF, AVIF, JPEG XL) hand it over and
// take it: 8 bits per channel, RGB or RGBA, rows from the top, with what describes it.
// The bridge turns it into FreeImage's image and back (engine/codecs/freeimage_bridge.h),
// so those codecs never see FreeImage.
#pragma once

#include <cstdint>
#include <vector>

#include "base/text.h"
#include "engine/codecs/container_chunks.h"
#include "engine/codecs/pixel_rows.h"

// What an output carries beside the picture.
struct PictureMetadata {
  ByteSpan icc;
  ByteSpan exif;  // with or without the "Exif\0\0" of a JPEG segment
  ByteSpan xmp;
};

// The EXIF's TIFF structure alone, without a JPEG segment's "Exif\0\0".
ByteSpan TiffOnly(ByteSpan exif);

// The TIFF structure inside a HEIF Exif item or a JPEG XL Exif box, which start with the
// 32-bit big-endian offset of its TIFF header; an empty span when the offset leads
// outside the block or leaves less than a TIFF header.
ByteSpan ExifItemTiff(const uint8_t* block, size_t size);

// What a header says before any pixel is decoded; width and height as the picture will
// be decoded (turned upright).
struct PictureFacts {
  bool known = false;
  uint32_t width = 0;
  uint32_t height = 0;
  bool alpha = false;
};

struct DecodedPicture {
  int32_t error = 0;  // a decoder error code (engine/codecs/decode.h); 0 when decoded
  Text detail;        // what the library said
  uint32_t width = 0;
  uint32_t height = 0;
  bool alpha = false;
  std::vector<uint8_t> pixels;  // width * (3 or 4) bytes a row, the top row first
  std::vector<uint8_t> icc;     // the colour profile, as an ICC profile
  std::vector<uint8_t> exif;    // the TIFF structure, its Orientation already 1
  std::vector<uint8_t> xmp;
};

// A 10- or 12-bit sample (or any up to 16 bits) brought to 8 bits by rounding.
inline uint8_t NarrowSample(uint32_t value, uint32_t maxValue) {
  return static_cast<uint8_t>((value * 255 + maxValue / 2) / maxValue);
}

// Premultiplied colour brought back to straight colour under its alpha.
void Unpremultiply(std::vector<uint8_t>* rgba);

// FreeImage's rows (the bottom row first, blue before red) as RGB or RGBA from the top.
std::vector<uint8_t> RowsAsRgb(const PixelRows& rows, bool alpha);
