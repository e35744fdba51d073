// The image handle's own life and the bridge's shared helpers.
#include "engine/codecs/freeimage_bridge.h"

#include "engine/codecs/colour_transform.h"

PixelRows RowsOf(FIBITMAP* dib) {
  PixelRows rows;
  rows.bits = FreeImage_GetBits(dib);
  rows.pitch = FreeImage_GetPitch(dib);
  rows.width = FreeImage_GetWidth(dib);
  rows.height = FreeImage_GetHeight(dib);
  rows.bpp = FreeImage_GetBPP(dib);
  return rows;
}

namespace {

// Whether an ICC profile's colour space (RGB, grey, CMYK...) is that of the image's pixels:
// a CMYK JPEG's pixels are RGB once decoded, and its profile describes them no more.
bool DescribesPixels(const FIICCPROFILE* profile, FIBITMAP* dib) {
  ByteSpan icc{static_cast<const uint8_t*>(profile->data), static_cast<size_t>(profile->size)};
  bool grey = FreeImage_GetColorType(dib) == FIC_MINISBLACK;
  return SpaceOfProfile(icc) == (grey ? ProfileSpace::Grey : ProfileSpace::Rgb);
}

}  // namespace

// FreeImage's 32-bit conversion, among others, leaves the colour profile behind.
FIBITMAP* WithProfile(FIBITMAP* made, FIBITMAP* from) {
  if (!made) return nullptr;
  FIICCPROFILE* profile = FreeImage_GetICCProfile(from);
  FIICCPROFILE* own = FreeImage_GetICCProfile(made);
  if (profile && profile->data && profile->size > 0 && own && own->size == 0 && DescribesPixels(profile, made))
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
