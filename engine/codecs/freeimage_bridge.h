// The bridge's own view of FreeImage, shared by the files that do its work (image,
// decode, pixel_forms, encode) and by nothing else: the rest of the program sees
// images only through their headers, so FreeImage.h and its Windows macros stay inside
// the codecs.
#pragma once

#include "engine/codecs/image_handle.h"
#include "engine/codecs/pixel_rows.h"

#define TESSALY_HOST_HEADER <FreeImage.h>
#include "engine/codecs/host_header.h"

inline FIBITMAP* Fi(const Image& image) {
  return reinterpret_cast<FIBITMAP*>(image.get());
}

inline Image Wrap(FIBITMAP* dib) {
  return Image(reinterpret_cast<ImageHandle*>(dib));
}

// The pixel files beside the bridge take FreeImage's byte order for granted.
static_assert(FI_RGBA_BLUE == 0 && FI_RGBA_GREEN == 1 && FI_RGBA_RED == 2 && FI_RGBA_ALPHA == 3,
              "pixels are kept as blue, green, red, alpha");

PixelRows RowsOf(FIBITMAP* dib);
// FreeImage's 32-bit conversion, among others, leaves the colour profile behind: it is
// copied from `from` when `made` has none and it describes made's pixels (an RGB profile
// for colour, a grey one for grey). Returns made.
FIBITMAP* WithProfile(FIBITMAP* made, FIBITMAP* from);
// A new image made from another keeps what describes the picture: metadata, colour
// profile and printing resolution. Returns made (nullptr when it is).
FIBITMAP* Described(FIBITMAP* made, FIBITMAP* from);
void SetGreyPalette(FIBITMAP* dib);

// Notes the gamma a PNG declared beside its picture (engine/codecs/file_gamma.h).
void SetFileGamma(FIBITMAP* dib, uint32_t gamma);
