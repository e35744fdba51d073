// TIFFs of the layouts read through libtiff by the program itself (2-15-bit samples,
// CMYK, Lab, LogLuv, half floats, planar tiles): whatever their tags claim, every strip
// and tile is read inside its buffer, and a picture that decodes has the size its tags
// give.
#include <cstdlib>

#include "engine/codecs/tiff_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20) || !TiffIsOurs(data, static_cast<uint32_t>(size))) return 0;
  PictureFacts facts;
  if (!ReadOurTiffFacts(data, static_cast<uint32_t>(size), &facts)) std::abort();
  // The picture budget refuses larger pictures before they are decoded.
  if (uint64_t{facts.width} * facts.height > (1u << 22)) return 0;
  OurTiff tiff = DecodeOurTiff(data, static_cast<uint32_t>(size));
  if (!tiff.dib) return 0;
  if (FreeImage_GetWidth(tiff.dib) != facts.width || FreeImage_GetHeight(tiff.dib) != facts.height) std::abort();
  FreeImage_Unload(tiff.dib);
  return 0;
}
