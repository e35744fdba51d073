// What any part of the program may ask of a decoded picture.
#include "engine/codecs/image.h"

#include "engine/codecs/freeimage_bridge.h"

uint32_t ImageWidth(const Image& image) {
  return image ? FreeImage_GetWidth(Fi(image)) : 0;
}

uint32_t ImageHeight(const Image& image) {
  return image ? FreeImage_GetHeight(Fi(image)) : 0;
}

uint32_t ImageBpp(const Image& image) {
  return image ? FreeImage_GetBPP(Fi(image)) : 0;
}

bool IsStandardBitmap(const Image& image) {
  return image && FreeImage_GetImageType(Fi(image)) == FIT_BITMAP;
}

Text ImageLibraryVersion() {
  return TextFromUtf8(FreeImage_GetVersion());
}

Text ImageLibraryCopyright() {
  return TextFromUtf8(FreeImage_GetCopyrightMessage());
}


PaletteEntry PixelAt(const Image& image, uint32_t x, uint32_t y) {
  PaletteEntry colour;
  if (!IsStandardBitmap(image) || x >= ImageWidth(image) || y >= ImageHeight(image)) return colour;
  FIBITMAP* dib = Fi(image);
  unsigned row = ImageHeight(image) - 1 - y, bpp = FreeImage_GetBPP(dib);
  if (bpp <= 8) {
    BYTE index = 0;
    FreeImage_GetPixelIndex(dib, x, row, &index);
    RGBQUAD entry = FreeImage_GetPalette(dib)[index];
    colour = PaletteEntry{entry.rgbBlue, entry.rgbGreen, entry.rgbRed, 255};
    if (FreeImage_IsTransparent(dib) && index < FreeImage_GetTransparencyCount(dib))
      colour.alpha = FreeImage_GetTransparencyTable(dib)[index];
  } else if (bpp == 24 || bpp == 32) {
    const BYTE* p = FreeImage_GetScanLine(dib, static_cast<int>(row)) + x * (bpp / 8);
    colour = PaletteEntry{p[FI_RGBA_BLUE], p[FI_RGBA_GREEN], p[FI_RGBA_RED], BYTE(bpp == 32 ? p[FI_RGBA_ALPHA] : 255)};
  }
  return colour;
}

PixelRows ImageRows(const Image& image) {
  return IsStandardBitmap(image) ? RowsOf(Fi(image)) : PixelRows();
}

std::vector<uint8_t> ImageProfile(const Image& image) {
  FIICCPROFILE* profile = image ? FreeImage_GetICCProfile(Fi(image)) : nullptr;
  if (!profile || !profile->data || profile->size <= 0) return {};
  const auto* bytes = static_cast<const uint8_t*>(profile->data);
  return std::vector<uint8_t>(bytes, bytes + profile->size);
}

bool ImageHasAlpha(const Image& image) {
  return image && FreeImage_IsTransparent(Fi(image));
}

bool IsGreyscale(const Image& image) {
  return image && FreeImage_GetBPP(Fi(image)) == 8 && FreeImage_GetColorType(Fi(image)) == FIC_MINISBLACK;
}
