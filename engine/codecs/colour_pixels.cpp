#include "engine/codecs/colour_pixels.h"

#include "engine/codecs/colour_transform.h"

namespace {

ByteSpan ProfileOf(FIBITMAP* dib) {
  FIICCPROFILE* profile = FreeImage_GetICCProfile(dib);
  if (!profile || !profile->data || profile->size <= 0) return ByteSpan();
  return ByteSpan{static_cast<const uint8_t*>(profile->data), static_cast<size_t>(profile->size)};
}

void CarrySrgbProfile(FIBITMAP* dib) {
  const std::vector<uint8_t>& srgb = SrgbProfileBytes();
  if (!srgb.empty())
    FreeImage_CreateICCProfile(dib, const_cast<uint8_t*>(srgb.data()), static_cast<long>(srgb.size()));
}

// A grey picture's rows or any picture's palette: where its colours are stored.
bool TransformRows(FIBITMAP* dib, const SrgbTransform& transform) {
  PixelRows rows = RowsOf(dib);
  for (uint32_t y = 0; y < rows.height; ++y) transform.Apply(rows.Row(y), rows.Row(y), rows.width);
  return true;
}

bool TransformPalette(FIBITMAP* dib, ByteSpan icc) {
  SrgbTransform transform = TransformToSrgb(icc, PixelLayout::Bgra8);
  if (!transform) return false;
  RGBQUAD* palette = FreeImage_GetPalette(dib);
  unsigned colours = FreeImage_GetColorsUsed(dib);
  if (!palette || colours == 0) return false;
  transform.Apply(palette, palette, colours);
  return true;
}

}  // namespace

FIBITMAP* CmykAsRgb(FIBITMAP* cmyk, bool* unusable) {
  *unusable = false;
  ByteSpan icc = ProfileOf(cmyk);
  SrgbTransform transform;
  if (SpaceOfProfile(icc) == ProfileSpace::Cmyk) {
    transform = TransformToSrgb(icc, PixelLayout::Cmyk8);
    if (!transform) {
      *unusable = true;
      return nullptr;
    }
  }
  uint32_t width = FreeImage_GetWidth(cmyk), height = FreeImage_GetHeight(cmyk);
  FIBITMAP* rgb = FreeImage_Allocate(static_cast<int>(width), static_cast<int>(height), 24);
  if (!rgb) return nullptr;
  PixelRows from = RowsOf(cmyk), to = RowsOf(rgb);
  for (uint32_t y = 0; y < height; ++y) {
    if (transform) transform.Apply(from.Row(y), to.Row(y), width);
    else NaiveCmykToBgr(from.Row(y), to.Row(y), width);
  }
  Described(rgb, cmyk);
  if (transform) CarrySrgbProfile(rgb);
  return rgb;
}

bool PixelsToSrgb(FIBITMAP* dib) {
  ByteSpan icc = ProfileOf(dib);
  ProfileSpace space = SpaceOfProfile(icc);
  if (space == ProfileSpace::None) return true;
  if (FreeImage_GetImageType(dib) != FIT_BITMAP) return false;
  unsigned bpp = FreeImage_GetBPP(dib);
  FREE_IMAGE_COLOR_TYPE colours = FreeImage_GetColorType(dib);
  bool done = false;
  if (space == ProfileSpace::Rgb && (bpp == 24 || bpp == 32)) {
    SrgbTransform transform = TransformToSrgb(icc, bpp == 24 ? PixelLayout::Bgr8 : PixelLayout::Bgra8);
    done = transform && TransformRows(dib, transform);
  } else if (space == ProfileSpace::Grey && bpp == 8 && colours == FIC_MINISBLACK) {
    SrgbTransform transform = TransformToSrgb(icc, PixelLayout::Grey8);
    done = transform && TransformRows(dib, transform);
  } else if (space == ProfileSpace::Rgb && bpp <= 8) {
    done = TransformPalette(dib, icc);
  } else {
    // A profile that does not describe these pixels says nothing about them.
    done = space != ProfileSpace::Other;
  }
  if (done) FreeImage_DestroyICCProfile(dib);
  return done;
}
