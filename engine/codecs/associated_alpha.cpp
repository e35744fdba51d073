#include "engine/codecs/associated_alpha.h"

#include <algorithm>

namespace {

template <typename Sample>
Sample Divided(Sample colour, Sample alpha, uint32_t full) {
  uint32_t value = (uint32_t{colour} * full + alpha / 2u) / alpha;
  return static_cast<Sample>(std::min(value, full));
}

}  // namespace

void UnpremultiplyAlpha(FIBITMAP* dib) {
  FREE_IMAGE_TYPE type = FreeImage_GetImageType(dib);
  unsigned width = FreeImage_GetWidth(dib), height = FreeImage_GetHeight(dib);
  if (type == FIT_BITMAP && FreeImage_GetBPP(dib) == 32) {
    for (unsigned y = 0; y < height; ++y) {
      BYTE* p = FreeImage_GetScanLine(dib, static_cast<int>(y));
      for (unsigned x = 0; x < width; ++x, p += 4) {
        BYTE a = p[FI_RGBA_ALPHA];
        if (a == 0 || a == 255) continue;
        for (int c : {FI_RGBA_RED, FI_RGBA_GREEN, FI_RGBA_BLUE}) p[c] = Divided<BYTE>(p[c], a, 255);
      }
    }
  } else if (type == FIT_RGBA16) {
    for (unsigned y = 0; y < height; ++y) {
      auto* p = reinterpret_cast<FIRGBA16*>(FreeImage_GetScanLine(dib, static_cast<int>(y)));
      for (unsigned x = 0; x < width; ++x, ++p) {
        WORD a = p->alpha;
        if (a == 0 || a == 65535) continue;
        p->red = Divided<WORD>(p->red, a, 65535);
        p->green = Divided<WORD>(p->green, a, 65535);
        p->blue = Divided<WORD>(p->blue, a, 65535);
      }
    }
  }
}
