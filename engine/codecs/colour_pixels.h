// FreeImage's pictures taken through their colour profile (engine/codecs/colour_transform.h):
// a CMYK picture into RGB, an RGB or grey one into sRGB.
#pragma once

#include "engine/codecs/freeimage_bridge.h"

// A 32-bit CMYK picture (FreeImage's FIC_CMYK: C, M, Y, K bytes, 0 for no ink) as 24-bit
// RGB: through its CMYK profile into sRGB, the result then carrying a small sRGB profile,
// or, without a CMYK profile, by the plain formula every reader uses. Null, with the
// reason in *unusable, when the profile cannot be followed or memory runs out. Consumes
// nothing: the caller unloads cmyk.
FIBITMAP* CmykAsRgb(FIBITMAP* cmyk, bool* unusable);

// Turns the pixels of a 24- or 32-bit, 8-bit grey or palette picture from the space of
// its RGB or grey profile into sRGB and drops the profile; false, leaving it as it was,
// when the profile cannot be used. A picture without a profile is sRGB already.
bool PixelsToSrgb(FIBITMAP* dib);
