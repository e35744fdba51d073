// An exact palette for a 24- or 32-bit picture that holds no more than 256 colours, so
// "256 colours" never changes a picture that already fits (a quantiser would move its
// colours: white became #EAEAEA) and keeps every level of transparency.
#pragma once

#include <vector>

#include "engine/codecs/pixel_rows.h"

constexpr size_t kPaletteSize = 256;

// The distinct colours (alpha included; 24-bit pixels are opaque) in order of first
// appearance. False as soon as there are more than 256.
bool CollectPalette(const PixelRows& source, std::vector<PaletteEntry>* palette);

// Writes each pixel's palette index into the 8-bit rows of the same size; the palette
// is the one CollectPalette gave for this source.
void WriteIndexes(const PixelRows& source, const std::vector<PaletteEntry>& palette, const PixelRows& indexes);
