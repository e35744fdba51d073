// The one translation unit that includes FreeImage.h.
#include "engine/image.h"

#include <cstring>

// Winelib's compiler defines the Windows macros, which would make FreeImage.h declare
// its functions with the Microsoft calling convention; the host library uses System V.
#if defined(__WINE__)
#pragma push_macro("_WIN32")
#pragma push_macro("_WIN64")
#pragma push_macro("__WIN32__")
#undef _WIN32
#undef _WIN64
#undef __WIN32__
#include <FreeImage.h>
#pragma pop_macro("__WIN32__")
#pragma pop_macro("_WIN64")
#pragma pop_macro("_WIN32")
#else
#include <FreeImage.h>
#endif

namespace {

FIBITMAP* Fi(const Image& image) {
  return reinterpret_cast<FIBITMAP*>(image.get());
}

Image Wrap(FIBITMAP* dib) {
  return Image(reinterpret_cast<ImageHandle*>(dib));
}

}  // namespace

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

Image LoadImageFromBuffer(const uint8_t* data, uint32_t size, int32_t* errorCode) {
  FIMEMORY* stream = FreeImage_OpenMemory(const_cast<BYTE*>(data), size);
  if (!stream) {
    *errorCode = kErrorBufferUnreadable;
    return Image();
  }
  Image image;
  FREE_IMAGE_FORMAT format = FreeImage_GetFileTypeFromMemory(stream, 0);
  if (format == FIF_UNKNOWN) *errorCode = kErrorUnknownFormat;
  else if (!FreeImage_FIFSupportsReading(format)) *errorCode = kErrorNotReadable;
  else image = Wrap(FreeImage_LoadFromMemory(format, stream, 0));
  FreeImage_CloseMemory(stream);
  return image;
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

Image ConvertTo24Bits(const Image& image) {
  return image ? Wrap(FreeImage_ConvertTo24Bits(Fi(image))) : Image();
}

Image ConvertTo32Bits(const Image& image) {
  return image ? Wrap(FreeImage_ConvertTo32Bits(Fi(image))) : Image();
}

Image ColorQuantizeWu(const Image& image) {
  if (!image) return Image();
  // The quantiser takes 24- and 32-bit images only.
  uint32_t bpp = FreeImage_GetBPP(Fi(image));
  if (IsStandardBitmap(image) && (bpp == 24 || bpp == 32)) return Wrap(FreeImage_ColorQuantize(Fi(image), FIQ_WUQUANT));
  Image wide = ConvertTo24Bits(image);
  return wide ? Wrap(FreeImage_ColorQuantize(Fi(wide), FIQ_WUQUANT)) : Image();
}

Image ConvertToStandardBitmap(const Image& image) {
  if (!image) return Image();
  switch (FreeImage_GetImageType(Fi(image))) {
    case FIT_BITMAP:
      return Image();
    case FIT_RGB16:
    case FIT_RGBF:
      return Wrap(FreeImage_ConvertTo24Bits(Fi(image)));
    case FIT_RGBA16:
    case FIT_RGBAF:
      return Wrap(FreeImage_ConvertTo32Bits(Fi(image)));
    default:
      return Wrap(FreeImage_ConvertToStandardType(Fi(image), TRUE));
  }
}

Image RescaleLanczos3(const Image& image, int32_t width, int32_t height) {
  if (!image || width <= 0 || height <= 0) return Image();
  return Wrap(FreeImage_Rescale(Fi(image), width, height, FILTER_LANCZOS3));
}

bool SetSoftwareTag(const Image& image, const char* value) {
  return image && FreeImage_SetMetadataKeyValue(FIMD_IPTC, Fi(image), "Software", value);
}

bool CanEncode(int32_t formatId, const Image& image) {
  if (!image || formatId < 0) return false;
  auto fif = static_cast<FREE_IMAGE_FORMAT>(formatId);
  return FreeImage_FIFSupportsWriting(fif) && FreeImage_FIFSupportsExportType(fif, FreeImage_GetImageType(Fi(image))) &&
         FreeImage_FIFSupportsExportBPP(fif, static_cast<int>(FreeImage_GetBPP(Fi(image))));
}

bool EncodeImage(const Image& image, int32_t formatId, int32_t flags, std::vector<uint8_t>* out) {
  out->clear();
  if (!CanEncode(formatId, image)) return false;
  FIMEMORY* stream = FreeImage_OpenMemory(nullptr, 0);
  if (!stream) return false;
  bool ok = FreeImage_SaveToMemory(static_cast<FREE_IMAGE_FORMAT>(formatId), Fi(image), stream, flags);
  BYTE* bytes = nullptr;
  DWORD count = 0;
  if (ok && FreeImage_AcquireMemory(stream, &bytes, &count) && count > 0) out->assign(bytes, bytes + count);
  else ok = false;
  FreeImage_CloseMemory(stream);
  return ok;
}

Text ImageLibraryVersion() {
  return TextFromUtf8(FreeImage_GetVersion());
}

Text ImageLibraryCopyright() {
  return TextFromUtf8(FreeImage_GetCopyrightMessage());
}
