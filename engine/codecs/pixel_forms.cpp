// A decoded picture brought to the form a target takes: 8 bits per channel, 24 or 32
// bits, a palette of at most 256 colours, another size.
#include "engine/codecs/pixel_forms.h"

#include <cstring>

#include "engine/codecs/colour_pixels.h"
#include "engine/codecs/freeimage_bridge.h"
#include "engine/codecs/palette_exact.h"

namespace {

// Dropping alpha as FreeImage does keeps the colour under it, black in most files:
// clear parts would turn black and half-clear red solid red. The picture is laid on
// the background first (white unless chosen), as a viewer shows it on a page.
FIBITMAP* OnBackground(FIBITMAP* dib, uint32_t background) {
  bool wide = FreeImage_GetImageType(dib) == FIT_BITMAP && FreeImage_GetBPP(dib) == 32;
  FIBITMAP* rgba = wide ? dib : FreeImage_ConvertTo32Bits(dib);
  if (!rgba) return nullptr;
  FIBITMAP* flat = FreeImage_Allocate(static_cast<int>(FreeImage_GetWidth(dib)),
                                      static_cast<int>(FreeImage_GetHeight(dib)), 24);
  if (flat) {
    // Blue, green, red, as FreeImage keeps them.
    const unsigned under[3] = {background & 0xFF, (background >> 8) & 0xFF, (background >> 16) & 0xFF};
    PixelRows from = RowsOf(rgba), to = RowsOf(flat);
    for (uint32_t y = 0; y < from.height; ++y) {
      const uint8_t* in = from.Row(y);
      uint8_t* out = to.Row(y);
      for (uint32_t x = 0; x < from.width; ++x, in += 4, out += 3) {
        unsigned alpha = in[FI_RGBA_ALPHA];
        for (int c = 0; c < 3; ++c)
          out[c] = static_cast<uint8_t>((in[c] * alpha + under[c] * (255 - alpha) + 127) / 255);
      }
    }
    Described(flat, dib);
  }
  if (rgba != dib) FreeImage_Unload(rgba);
  return flat;
}

// 16-bit grey brought to 8 bits linearly: the high byte, as FreeImage narrows 48- and
// 64-bit colour, so a grey picture comes out the same whichever way it was stored.
// (Scaling from the darkest to the lightest value, as FreeImage's own conversion does,
// turned a flat grey white.)
FIBITMAP* GreyFrom16(FIBITMAP* dib) {
  uint32_t width = FreeImage_GetWidth(dib), height = FreeImage_GetHeight(dib);
  FIBITMAP* grey = FreeImage_Allocate(static_cast<int>(width), static_cast<int>(height), 8);
  if (!grey) return nullptr;
  SetGreyPalette(grey);
  for (uint32_t y = 0; y < height; ++y) {
    const auto* in = reinterpret_cast<const uint16_t*>(FreeImage_GetScanLine(dib, static_cast<int>(y)));
    BYTE* out = FreeImage_GetScanLine(grey, static_cast<int>(y));
    for (uint32_t x = 0; x < width; ++x) out[x] = static_cast<BYTE>(in[x] >> 8);
  }
  return Described(grey, dib);
}

// A picture of at most 256 colours indexed as it is, every alpha level kept in the
// transparency table; nullptr when it has more.
FIBITMAP* ExactPalette(FIBITMAP* wide) {
  PixelRows rows = RowsOf(wide);
  std::vector<PaletteEntry> palette;
  if (!CollectPalette(rows, &palette)) return nullptr;
  FIBITMAP* indexed = FreeImage_Allocate(static_cast<int>(rows.width), static_cast<int>(rows.height), 8);
  if (!indexed) return nullptr;
  WriteIndexes(rows, palette, RowsOf(indexed));
  RGBQUAD* entries = FreeImage_GetPalette(indexed);
  BYTE table[256];
  bool clear = false;
  for (size_t i = 0; i < 256; ++i) {
    PaletteEntry e = i < palette.size() ? palette[i] : PaletteEntry{};
    entries[i] = RGBQUAD{e.blue, e.green, e.red, 0};
    table[i] = e.alpha;
    clear = clear || e.alpha < 255;
  }
  if (clear) FreeImage_SetTransparencyTable(indexed, table, static_cast<int>(palette.size()));
  return indexed;
}

// More colours than a palette holds: Wu's quantiser chooses them. It knows no alpha,
// so a picture with transparency keeps the last entry for what was mostly clear, as a
// GIF's one transparent colour would, and the half-clear rest is laid on the background.
FIBITMAP* Quantised(FIBITMAP* wide, uint32_t background) {
  if (FreeImage_GetBPP(wide) != 32) return FreeImage_ColorQuantize(wide, FIQ_WUQUANT);
  FIBITMAP* colours = OnBackground(wide, background);
  FIBITMAP* indexed = colours ? FreeImage_ColorQuantizeEx(colours, FIQ_WUQUANT, 255, 0, nullptr) : nullptr;
  if (colours) FreeImage_Unload(colours);
  if (!indexed) return nullptr;
  constexpr BYTE kClear = 255;
  PixelRows from = RowsOf(wide), to = RowsOf(indexed);
  for (uint32_t y = 0; y < from.height; ++y)
    for (uint32_t x = 0; x < from.width; ++x)
      if (from.Row(y)[4 * x + FI_RGBA_ALPHA] < 128) to.Row(y)[x] = kClear;
  FreeImage_GetPalette(indexed)[kClear] = RGBQUAD{255, 255, 255, 0};
  BYTE table[256];
  std::memset(table, 255, sizeof table);
  table[kClear] = 0;
  FreeImage_SetTransparencyTable(indexed, table, 256);
  return indexed;
}

}  // namespace

Image ConvertTo24Bits(const Image& image, uint32_t background) {
  if (!image) return Image();
  if (FreeImage_IsTransparent(Fi(image))) return Wrap(WithProfile(OnBackground(Fi(image), background), Fi(image)));
  return Wrap(WithProfile(FreeImage_ConvertTo24Bits(Fi(image)), Fi(image)));
}

Image ConvertTo32Bits(const Image& image) {
  return image ? Wrap(WithProfile(FreeImage_ConvertTo32Bits(Fi(image)), Fi(image))) : Image();
}

Image ReduceToPalette(const Image& image, uint32_t background) {
  if (!image) return Image();
  FIBITMAP* dib = Fi(image);
  if (FreeImage_GetImageType(dib) == FIT_BITMAP && FreeImage_GetBPP(dib) <= 8) return Image();
  // Alpha counts only where FreeImage says the picture has it.
  FIBITMAP* wide = FreeImage_IsTransparent(dib) ? FreeImage_ConvertTo32Bits(dib) : FreeImage_ConvertTo24Bits(dib);
  if (!wide) return Image();
  FIBITMAP* indexed = ExactPalette(wide);
  if (!indexed) indexed = Quantised(wide, background);
  FreeImage_Unload(wide);
  return Wrap(Described(indexed, dib));
}

bool ConvertToSrgb(Image* image) {
  return *image && PixelsToSrgb(Fi(*image));
}

namespace {

FIBITMAP* StandardBitmap(FIBITMAP* dib) {
  switch (FreeImage_GetImageType(dib)) {
    case FIT_UINT16:
      return GreyFrom16(dib);
    case FIT_RGB16:
      return FreeImage_ConvertTo24Bits(dib);
    case FIT_RGBA16:
      return FreeImage_ConvertTo32Bits(dib);
    case FIT_RGBF:
    case FIT_RGBAF:
      // The 24/32-bit converters refuse float colour; high-range pictures need a tone
      // mapping to fit 8 bits per channel at all (the alpha of RGBAF is lost).
      return FreeImage_ToneMapping(dib, FITMO_DRAGO03, 0, 0);
    default:
      return FreeImage_ConvertToStandardType(dib, TRUE);
  }
}

}  // namespace

// A 16-bit scan keeps its profile (ProPhoto, say) through the narrowing.
Image ConvertToStandardBitmap(const Image& image) {
  if (!image || FreeImage_GetImageType(Fi(image)) == FIT_BITMAP) return Image();
  return Wrap(WithProfile(StandardBitmap(Fi(image)), Fi(image)));
}

Image RescaleLanczos3(const Image& image, int32_t width, int32_t height) {
  if (!image || width <= 0 || height <= 0) return Image();
  return Wrap(WithProfile(FreeImage_Rescale(Fi(image), width, height, FILTER_LANCZOS3), Fi(image)));
}
