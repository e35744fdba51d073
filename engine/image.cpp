// The one translation unit that includes FreeImage.h.
#include "engine/image.h"

#include "engine/exif_orientation.h"

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

// The JPEG reader fills what a cut-off file lacks with grey and only warns, where every
// other reader fails; its first warning (later ones are not passed on) is the one sign
// that the picture is incomplete.
enum class ReaderWarning { None, DataEnded, Other };
thread_local ReaderWarning tFirstWarning = ReaderWarning::None;

void NoteLibraryMessage(FREE_IMAGE_FORMAT, const char* message) {
  if (tFirstWarning != ReaderWarning::None) return;
  bool ended = message && std::strncmp(message, "Premature end of JPEG file", 26) == 0;
  tFirstWarning = ended ? ReaderWarning::DataEnded : ReaderWarning::Other;
}

FIBITMAP* DecodeNoting(FREE_IMAGE_FORMAT format, FIMEMORY* stream) {
  static const bool listening = (FreeImage_SetOutputMessage(NoteLibraryMessage), true);
  (void)listening;
  tFirstWarning = ReaderWarning::None;
  return FreeImage_LoadFromMemory(format, stream, format == FIF_JPEG ? JPEG_EXIFROTATE : 0);
}

// A file that lacks only its closing marker still holds the whole picture: given the
// marker, it decodes without a word; one cut inside the picture data still warns.
FIBITMAP* DecodeWithEndMarker(FREE_IMAGE_FORMAT format, const uint8_t* data, uint32_t size) {
  std::vector<uint8_t> closed(data, data + size);
  closed.push_back(0xFF);
  closed.push_back(0xD9);
  FIMEMORY* stream = FreeImage_OpenMemory(closed.data(), static_cast<DWORD>(closed.size()));
  if (!stream) return nullptr;
  FIBITMAP* dib = DecodeNoting(format, stream);
  FreeImage_CloseMemory(stream);
  if (dib && tFirstWarning != ReaderWarning::None) {
    FreeImage_Unload(dib);
    dib = nullptr;
  }
  return dib;
}

bool IsUprightTag(FITAG* tag) {
  return FreeImage_GetTagType(tag) == FIDT_SHORT && FreeImage_GetTagCount(tag) == 1 &&
         *static_cast<const WORD*>(FreeImage_GetTagValue(tag)) == 1;
}

// Replaces one metadata tag's value by a value of the same length.
void ReplaceTagValue(FREE_IMAGE_MDMODEL model, FIBITMAP* dib, FITAG* tag, const void* value) {
  FITAG* copy = FreeImage_CloneTag(tag);
  if (!copy) return;
  if (FreeImage_SetTagValue(copy, value)) FreeImage_SetMetadata(model, dib, FreeImage_GetTagKey(copy), copy);
  FreeImage_DeleteTag(copy);
}

// Cameras store the picture as the sensor saw it and name the turn in the EXIF
// Orientation tag; the JPEG reader turns it upright (PNG and a JPEG without metadata
// would not carry the tag on). The EXIF that JPEG and WebP outputs keep must then say
// "upright" wherever a viewer may look, or it would turn the picture a second time.
// The reader takes the tag whatever its type or count, and the last of two, so every
// Orientation in the block is mended; a block that cannot be mended goes.
void MarkUpright(FIBITMAP* dib) {
  FITAG* orientation = nullptr;
  bool named = FreeImage_GetMetadata(FIMD_EXIF_MAIN, dib, "Orientation", &orientation) && orientation;
  bool turned = named && !IsUprightTag(orientation);
  const WORD upright = 1;
  if (turned && FreeImage_GetTagType(orientation) == FIDT_SHORT && FreeImage_GetTagCount(orientation) == 1)
    ReplaceTagValue(FIMD_EXIF_MAIN, dib, orientation, &upright);
  FITAG* raw = nullptr;
  if (!FreeImage_GetMetadata(FIMD_EXIF_RAW, dib, "ExifRaw", &raw) || !raw) return;
  const auto* bytes = static_cast<const uint8_t*>(FreeImage_GetTagValue(raw));
  std::vector<uint8_t> block(bytes, bytes + FreeImage_GetTagLength(raw));
  ExifOrientation state = MendExifOrientation(&block);
  if (state == ExifOrientation::Mended) ReplaceTagValue(FIMD_EXIF_RAW, dib, raw, block.data());
  // The reader turned the picture by a tag this block does not show us the same way.
  else if (turned) FreeImage_SetMetadata(FIMD_EXIF_RAW, dib, nullptr, nullptr);
}

FIBITMAP* DecodeWhole(FREE_IMAGE_FORMAT format, FIMEMORY* stream, const uint8_t* data, uint32_t size,
                      int32_t* errorCode) {
  FIBITMAP* dib = DecodeNoting(format, stream);
  if (dib && tFirstWarning == ReaderWarning::DataEnded) {
    FreeImage_Unload(dib);
    dib = size < UINT32_MAX - 2 ? DecodeWithEndMarker(format, data, size) : nullptr;
    if (!dib) *errorCode = kErrorTruncated;
  }
  if (dib && format == FIF_JPEG) MarkUpright(dib);
  return dib;
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
  else image = Wrap(DecodeWhole(format, stream, data, size, errorCode));
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
      return Wrap(FreeImage_ConvertTo24Bits(Fi(image)));
    case FIT_RGBA16:
      return Wrap(FreeImage_ConvertTo32Bits(Fi(image)));
    case FIT_RGBF:
    case FIT_RGBAF:
      // The 24/32-bit converters refuse float colour; high-range pictures need a tone
      // mapping to fit 8 bits per channel at all (the alpha of RGBAF is lost).
      return Wrap(FreeImage_ToneMapping(Fi(image), FITMO_DRAGO03, 0, 0));
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
  FREE_IMAGE_TYPE type = FreeImage_GetImageType(Fi(image));
  if (!FreeImage_FIFSupportsWriting(fif) || !FreeImage_FIFSupportsExportType(fif, type)) return false;
  // The depth list of a plugin speaks of ordinary bitmaps only; a 48-bit RGB16 image is
  // declared by its type alone.
  return type != FIT_BITMAP || FreeImage_FIFSupportsExportBPP(fif, static_cast<int>(FreeImage_GetBPP(Fi(image))));
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

bool ImageHasAlpha(const Image& image) {
  return image && FreeImage_IsTransparent(Fi(image));
}

bool IsGreyscale(const Image& image) {
  return image && FreeImage_GetBPP(Fi(image)) == 8 && FreeImage_GetColorType(Fi(image)) == FIC_MINISBLACK;
}

bool CanWriteFormat(int32_t formatId) {
  return formatId >= 0 && FreeImage_FIFSupportsWriting(static_cast<FREE_IMAGE_FORMAT>(formatId));
}

namespace {

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

void ReadPictureHeader(const uint8_t* data, uint32_t size, PictureHeader* header) {
  *header = PictureHeader();
  FIMEMORY* stream = FreeImage_OpenMemory(const_cast<BYTE*>(data), size);
  if (!stream) return;
  FREE_IMAGE_FORMAT format = FreeImage_GetFileTypeFromMemory(stream, 0);
  // Without header-only support the flag is ignored and the reader would decode it all.
  bool headerOnly = format != FIF_UNKNOWN && FreeImage_FIFSupportsReading(format) &&
                    FreeImage_FIFSupportsNoPixels(format);
  FIBITMAP* dib = headerOnly ? FreeImage_LoadFromMemory(format, stream, FIF_LOAD_NOPIXELS) : nullptr;
  if (dib) {
    header->known = true;
    header->width = FreeImage_GetWidth(dib);
    header->height = FreeImage_GetHeight(dib);
    header->bitsPerPixel = FreeImage_GetBPP(dib);
    FreeImage_Unload(dib);
  }
  FreeImage_CloseMemory(stream);
}
