// The image handle of the codecs: the rest of the program sees decoded pictures only
// through this header and its neighbours (decode.h, pixel_forms.h, encode.h), so
// FreeImage's headers (and their Windows macros) stay inside the codecs.
#pragma once

#include <cstdint>
#include <vector>

#include "base/text.h"
#include "engine/codecs/image_handle.h"
#include "engine/codecs/pixel_rows.h"

void InitImageLibrary();

uint32_t ImageWidth(const Image& image);
uint32_t ImageHeight(const Image& image);
uint32_t ImageBpp(const Image& image);
// True for an ordinary bitmap (1..32 bits per pixel, 8 bits per channel at most).
bool IsStandardBitmap(const Image& image);

// The pixels of an ordinary bitmap, for work that needs no FreeImage call; empty for
// other image types.
PixelRows ImageRows(const Image& image);

// Whether the image carries transparency: an alpha channel or a palette with
// transparent entries.
bool ImageHasAlpha(const Image& image);
// The colour profile (ICC) the picture carries; empty when it carries none.
std::vector<uint8_t> ImageProfile(const Image& image);
// The colour of one pixel of an ordinary bitmap of 1 to 32 bits, counted from the top
// left, with its transparency; for checks of what a conversion made.
PaletteEntry PixelAt(const Image& image, uint32_t x, uint32_t y);
// True for 8-bit images whose palette is a plain grey ramp.
bool IsGreyscale(const Image& image);

Text ImageLibraryVersion();
Text ImageLibraryCopyright();

