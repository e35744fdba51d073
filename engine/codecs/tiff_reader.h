// TIFFs whose sample layout FreeImage's reader refuses or misreads, read through libtiff
// by us: samples of 2 to 15 bits, CMYK (with or without alpha, through its profile),
// CIELab and ICCLab, LogLuv, half floats, and planar tiles. The rest stays with FreeImage.
#pragma once

#include <cstdint>

#include "base/text.h"
#include "engine/codecs/freeimage_bridge.h"
#include "engine/codecs/picture.h"

// Whether the first picture of a TIFF file is one of the layouts read here.
bool TiffIsOurs(const uint8_t* data, uint32_t size);

// The size of such a picture as stored and whether it has alpha; false when its tags
// cannot be read.
bool ReadOurTiffFacts(const uint8_t* data, uint32_t size, PictureFacts* facts);

// What the reader gives: an 8-bit grey, 24-bit or 32-bit picture as stored (not turned;
// orientation is the file's Orientation tag, 1..8), or null with error 7, 13, 18 or 19
// and what libtiff said in detail.
struct OurTiff {
  FIBITMAP* dib = nullptr;
  int orientation = 1;
  int32_t error = 0;
  Text detail;
};
OurTiff DecodeOurTiff(const uint8_t* data, uint32_t size);
