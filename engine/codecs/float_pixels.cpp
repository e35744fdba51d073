#include "engine/codecs/float_pixels.h"

#include <cmath>

namespace {

BYTE Scaled(float v) {
  if (!(v > 0.0f)) return 0;  // NaN too
  if (v >= 1.0f) return 255;
  return static_cast<BYTE>(std::lround(v * 255.0f));
}

struct Layout {
  int channels;  // floats a pixel: 1, 3 or 4
  unsigned bpp;  // of the 8-bit copy
};

bool LayoutOf(FREE_IMAGE_TYPE type, Layout* layout) {
  switch (type) {
    case FIT_FLOAT: *layout = {1, 8}; return true;
    case FIT_RGBF: *layout = {3, 24}; return true;
    case FIT_RGBAF: *layout = {4, 32}; return true;
    default: return false;
  }
}

}  // namespace

FIBITMAP* FloatsAsBytes(FIBITMAP* dib) {
  Layout layout;
  if (!dib || !LayoutOf(FreeImage_GetImageType(dib), &layout)) return dib;
  unsigned width = FreeImage_GetWidth(dib), height = FreeImage_GetHeight(dib);
  FIBITMAP* bytes = Described(FreeImage_Allocate(static_cast<int>(width), static_cast<int>(height),
                                                 static_cast<int>(layout.bpp)), dib);
  if (!bytes) {
    FreeImage_Unload(dib);
    return nullptr;
  }
  if (layout.channels == 1) SetGreyPalette(bytes);
  unsigned step = layout.bpp / 8;
  for (unsigned y = 0; y < height; ++y) {
    const auto* in = reinterpret_cast<const float*>(FreeImage_GetScanLine(dib, static_cast<int>(y)));
    BYTE* out = FreeImage_GetScanLine(bytes, static_cast<int>(y));
    for (unsigned x = 0; x < width; ++x, in += layout.channels, out += step) {
      if (layout.channels == 1) {
        out[0] = Scaled(in[0]);
        continue;
      }
      out[FI_RGBA_RED] = Scaled(in[0]);
      out[FI_RGBA_GREEN] = Scaled(in[1]);
      out[FI_RGBA_BLUE] = Scaled(in[2]);
      if (layout.channels == 4) out[FI_RGBA_ALPHA] = Scaled(in[3]);
    }
  }
  FreeImage_Unload(dib);
  return bytes;
}
