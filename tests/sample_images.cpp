#include "tests/sample_images.h"

#define TESSALY_HOST_HEADER <FreeImage.h>
#include "engine/codecs/host_header.h"

namespace {

Image Wrap(FIBITMAP* dib) {
  return Image(reinterpret_cast<ImageHandle*>(dib));
}

// A smooth value 0..1 that changes across both axes, so resampled and compressed
// samples still look like pictures and differ from pixel to pixel.
double Ramp(uint32_t x, uint32_t y, uint32_t w, uint32_t h, int channel) {
  double fx = w > 1 ? double(x) / (w - 1) : 0.0, fy = h > 1 ? double(y) / (h - 1) : 0.0;
  switch (channel) {
    case 0: return fx;
    case 1: return fy;
    case 2: return (fx + fy) / 2;
    default: return 1.0 - fx * fy;
  }
}

void FillPalette(FIBITMAP* dib, bool grey) {
  RGBQUAD* pal = FreeImage_GetPalette(dib);
  unsigned n = FreeImage_GetColorsUsed(dib);
  for (unsigned i = 0; i < n; ++i) {
    unsigned v = n > 1 ? i * 255 / (n - 1) : 0;
    pal[i].rgbRed = static_cast<BYTE>(v);
    pal[i].rgbGreen = static_cast<BYTE>(grey ? v : 255 - v);
    pal[i].rgbBlue = static_cast<BYTE>(grey ? v : (v * 7) & 0xFF);
  }
}

void FillBitmap(FIBITMAP* dib, uint32_t w, uint32_t h) {
  unsigned bpp = FreeImage_GetBPP(dib);
  for (uint32_t y = 0; y < h; ++y) {
    BYTE* line = FreeImage_GetScanLine(dib, y);
    for (uint32_t x = 0; x < w; ++x) {
      auto v = [&](int c) { return static_cast<BYTE>(Ramp(x, y, w, h, c) * 255 + 0.5); };
      if (bpp == 1) {
        if ((x / 4 + y / 4) % 2) line[x / 8] |= static_cast<BYTE>(0x80 >> (x % 8));
      } else if (bpp == 8) {
        line[x] = v(2);
      } else {
        BYTE* p = line + x * (bpp / 8);
        p[FI_RGBA_RED] = v(0);
        p[FI_RGBA_GREEN] = v(1);
        p[FI_RGBA_BLUE] = v(2);
        if (bpp == 32) p[FI_RGBA_ALPHA] = v(3);
      }
    }
  }
}

void FillWide(FIBITMAP* dib, FREE_IMAGE_TYPE type, uint32_t w, uint32_t h) {
  for (uint32_t y = 0; y < h; ++y) {
    BYTE* line = FreeImage_GetScanLine(dib, y);
    for (uint32_t x = 0; x < w; ++x) {
      auto r = [&](int c) { return Ramp(x, y, w, h, c); };
      auto w16 = [&](int c) { return static_cast<WORD>(r(c) * 65535 + 0.5); };
      switch (type) {
        case FIT_UINT16: reinterpret_cast<WORD*>(line)[x] = w16(2); break;
        case FIT_RGB16: reinterpret_cast<FIRGB16*>(line)[x] = FIRGB16{w16(0), w16(1), w16(2)}; break;
        case FIT_RGBA16: reinterpret_cast<FIRGBA16*>(line)[x] = FIRGBA16{w16(0), w16(1), w16(2), w16(3)}; break;
        case FIT_FLOAT: reinterpret_cast<float*>(line)[x] = static_cast<float>(r(2)); break;
        case FIT_RGBF: reinterpret_cast<FIRGBF*>(line)[x] = FIRGBF{float(r(0)), float(r(1)), float(r(2))}; break;
        default: break;
      }
    }
  }
}

}  // namespace

Image CreateSampleImage(SampleKind kind, uint32_t width, uint32_t height) {
  struct Shape {
    FREE_IMAGE_TYPE type;
    int bpp;
  };
  static const Shape kShapes[] = {{FIT_BITMAP, 1},  {FIT_BITMAP, 8},  {FIT_BITMAP, 8}, {FIT_BITMAP, 8},
                                  {FIT_BITMAP, 24}, {FIT_BITMAP, 32}, {FIT_UINT16, 16}, {FIT_RGB16, 48},
                                  {FIT_RGBA16, 64}, {FIT_FLOAT, 32},  {FIT_RGBF, 96}};
  const Shape& shape = kShapes[static_cast<int>(kind)];
  FIBITMAP* dib = FreeImage_AllocateT(shape.type, static_cast<int>(width), static_cast<int>(height), shape.bpp);
  if (!dib) return Image();
  if (shape.type != FIT_BITMAP) {
    FillWide(dib, shape.type, width, height);
    return Wrap(dib);
  }
  if (shape.bpp <= 8) FillPalette(dib, kind == SampleKind::Grey8 || kind == SampleKind::Mono1);
  FillBitmap(dib, width, height);
  if (kind == SampleKind::Palette8Clear) {
    BYTE table[256];
    for (int i = 0; i < 256; ++i) table[i] = i == 0 ? 0 : 255;
    FreeImage_SetTransparencyTable(dib, table, 256);
  }
  return Wrap(dib);
}
