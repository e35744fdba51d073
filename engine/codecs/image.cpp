// The image handle and what any part of the program may ask of a decoded picture.
#include "engine/codecs/freeimage_bridge.h"

PixelRows RowsOf(FIBITMAP* dib) {
  PixelRows rows;
  rows.bits = FreeImage_GetBits(dib);
  rows.pitch = FreeImage_GetPitch(dib);
  rows.width = FreeImage_GetWidth(dib);
  rows.height = FreeImage_GetHeight(dib);
  rows.bpp = FreeImage_GetBPP(dib);
  return rows;
}

// FreeImage's 32-bit conversion, among others, leaves the colour profile behind.
FIBITMAP* WithProfile(FIBITMAP* made, FIBITMAP* from) {
  if (!made) return nullptr;
  FIICCPROFILE* profile = FreeImage_GetICCProfile(from);
  FIICCPROFILE* own = FreeImage_GetICCProfile(made);
  if (profile && profile->data && profile->size > 0 && own && own->size == 0)
    FreeImage_CreateICCProfile(made, profile->data, static_cast<long>(profile->size));
  return made;
}

// A new image made from another keeps what describes the picture: metadata, colour
// profile and printing resolution.
FIBITMAP* Described(FIBITMAP* made, FIBITMAP* from) {
  if (!WithProfile(made, from)) return nullptr;
  FreeImage_CloneMetadata(made, from);
  FreeImage_SetDotsPerMeterX(made, FreeImage_GetDotsPerMeterX(from));
  FreeImage_SetDotsPerMeterY(made, FreeImage_GetDotsPerMeterY(from));
  return made;
}

void SetGreyPalette(FIBITMAP* dib) {
  RGBQUAD* palette = FreeImage_GetPalette(dib);
  for (int i = 0; i < 256; ++i) palette[i] = RGBQUAD{BYTE(i), BYTE(i), BYTE(i), 0};
}

Image& Image::operator=(Image&& other) noexcept {
  if (this != &other) {
    reset();
    handle_ = other.handle_;
    other.handle_ = nullptr;
  }
  return *this;
}

Image::~Image() {
  reset();
}

void Image::reset() {
  if (handle_) FreeImage_Unload(reinterpret_cast<FIBITMAP*>(handle_));
  handle_ = nullptr;
}

void InitImageLibrary() {
#if defined(FREEIMAGE_LIB)
  FreeImage_Initialise(FALSE);
#endif
}

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

bool ImageHasAlpha(const Image& image) {
  return image && FreeImage_IsTransparent(Fi(image));
}

bool IsGreyscale(const Image& image) {
  return image && FreeImage_GetBPP(Fi(image)) == 8 && FreeImage_GetColorType(Fi(image)) == FIC_MINISBLACK;
}
