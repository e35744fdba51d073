// The one translation unit that includes FreeImage.h.
#include "engine/codecs/image.h"

#include "engine/codecs/bmp_header.h"
#include "engine/codecs/container_chunks.h"
#include "engine/codecs/exif_orientation.h"
#include "engine/codecs/palette_exact.h"
#include "engine/codecs/source_facts.h"
#include "engine/codecs/webp_encoder.h"

#include <cstring>

#define TESSALY_HOST_HEADER <FreeImage.h>
#include "engine/codecs/host_header.h"

namespace {

FIBITMAP* Fi(const Image& image) {
  return reinterpret_cast<FIBITMAP*>(image.get());
}

Image Wrap(FIBITMAP* dib) {
  return Image(reinterpret_cast<ImageHandle*>(dib));
}

// The pixel files beside the bridge take FreeImage's byte order for granted.
static_assert(FI_RGBA_BLUE == 0 && FI_RGBA_GREEN == 1 && FI_RGBA_RED == 2 && FI_RGBA_ALPHA == 3,
              "pixels are kept as blue, green, red, alpha");

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

// The JPEG reader takes a requested size in the high word of its flags and decodes at
// the largest of 1/2, 1/4 or 1/8 that its longer side allows.
int LoadFlags(FREE_IMAGE_FORMAT format, int32_t jpegSizeHint) {
  if (format != FIF_JPEG) return 0;
  bool hinted = jpegSizeHint > 0 && jpegSizeHint <= 0x7FFF;
  return JPEG_EXIFROTATE | (hinted ? jpegSizeHint << 16 : 0);
}

FIBITMAP* DecodeNoting(FREE_IMAGE_FORMAT format, FIMEMORY* stream, int32_t jpegSizeHint) {
  static const bool listening = (FreeImage_SetOutputMessage(NoteLibraryMessage), true);
  (void)listening;
  tFirstWarning = ReaderWarning::None;
  return FreeImage_LoadFromMemory(format, stream, LoadFlags(format, jpegSizeHint));
}

// A scaled JPEG notes its full size among the comments, which a PNG writer would carry
// into the result as text. A comment model left empty goes too: the PNG writer reads
// the first entry of any model there is.
void ForgetScaledSize(FIBITMAP* dib) {
  if (FreeImage_GetMetadataCount(FIMD_COMMENTS, dib) == 0) return;
  FreeImage_SetMetadata(FIMD_COMMENTS, dib, "OriginalJPEGWidth", nullptr);
  FreeImage_SetMetadata(FIMD_COMMENTS, dib, "OriginalJPEGHeight", nullptr);
  if (FreeImage_GetMetadataCount(FIMD_COMMENTS, dib) == 0) FreeImage_SetMetadata(FIMD_COMMENTS, dib, nullptr, nullptr);
}

// A file that lacks only its closing marker still holds the whole picture: given the
// marker, it decodes without a word; one cut inside the picture data still warns.
FIBITMAP* DecodeWithEndMarker(FREE_IMAGE_FORMAT format, const uint8_t* data, uint32_t size, int32_t jpegSizeHint) {
  std::vector<uint8_t> closed(data, data + size);
  closed.push_back(0xFF);
  closed.push_back(0xD9);
  FIMEMORY* stream = FreeImage_OpenMemory(closed.data(), static_cast<DWORD>(closed.size()));
  if (!stream) return nullptr;
  FIBITMAP* dib = DecodeNoting(format, stream, jpegSizeHint);
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
// Orientation tag; the pictures are turned upright (by FreeImage's JPEG reader, or by the
// bridge for TIFF, PNG and WebP: turnedHere). The EXIF that JPEG and WebP outputs keep
// must then say "upright" wherever a viewer may look, or it would turn the picture a
// second time. The JPEG reader takes the tag whatever its type or count, and the last of
// two, so every Orientation in the block is mended; a block that cannot be mended goes.
void MarkUpright(FIBITMAP* dib, bool turnedHere) {
  FITAG* orientation = nullptr;
  bool named = FreeImage_GetMetadata(FIMD_EXIF_MAIN, dib, "Orientation", &orientation) && orientation;
  bool turned = turnedHere || (named && !IsUprightTag(orientation));
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

// FreeImage's WebP reader keeps an EXIF chunk only when it starts as a JPEG segment does
// ("Exif\0\0"); the format (and most writers, this program among them) leaves that
// out. It is kept here in the form FreeImage's JPEG and the WebP writers take.
void KeepWebpExif(FIBITMAP* dib, const uint8_t* data, uint32_t size) {
  if (FreeImage_GetMetadataCount(FIMD_EXIF_RAW, dib) > 0) return;
  ByteSpan exif = FindWebpChunk(data, size, "EXIF");
  if (!exif || !IsTiffFile(exif.data, exif.size)) return;
  std::vector<uint8_t> block = {'E', 'x', 'i', 'f', 0, 0};
  block.insert(block.end(), exif.data, exif.data + exif.size);
  FITAG* tag = FreeImage_CreateTag();
  if (!tag) return;
  auto length = static_cast<DWORD>(block.size());
  if (FreeImage_SetTagKey(tag, "ExifRaw") && FreeImage_SetTagType(tag, FIDT_BYTE) &&
      FreeImage_SetTagLength(tag, length) && FreeImage_SetTagCount(tag, length) &&
      FreeImage_SetTagValue(tag, block.data()))
    FreeImage_SetMetadata(FIMD_EXIF_RAW, dib, "ExifRaw", tag);
  FreeImage_DeleteTag(tag);
}

// FreeImage reads the fourth byte of every 32-bit BMP as alpha, but plain (BI_RGB)
// BMPs leave it 0: a picture whose every alpha is 0 was never meant to be invisible.
FIBITMAP* WithoutEmptyAlpha(FIBITMAP* dib) {
  if (FreeImage_GetImageType(dib) != FIT_BITMAP || FreeImage_GetBPP(dib) != 32) return dib;
  PixelRows rows = RowsOf(dib);
  for (uint32_t y = 0; y < rows.height; ++y) {
    const uint8_t* row = rows.Row(y);
    for (uint32_t x = 0; x < rows.width; ++x)
      if (row[4 * x + FI_RGBA_ALPHA] != 0) return dib;
  }
  FIBITMAP* opaque = Described(FreeImage_ConvertTo24Bits(dib), dib);
  if (!opaque) return dib;
  FreeImage_Unload(dib);
  return opaque;
}

// FreeImage widens 1-, 2- and 4-bit grey PNGs to 8 bits but leaves their transparent
// value unwidened, so the wrong grey (mostly none) turned transparent.
void MendGreyKey(FIBITMAP* dib, int key) {
  if (key < 0 || FreeImage_GetBPP(dib) != 8 || FreeImage_GetColorsUsed(dib) != 256) return;
  const RGBQUAD* palette = FreeImage_GetPalette(dib);
  BYTE table[256];
  for (int i = 0; i < 256; ++i) {
    bool clear = palette[i].rgbRed == key && palette[i].rgbGreen == key && palette[i].rgbBlue == key;
    table[i] = clear ? 0 : 255;
  }
  FreeImage_SetTransparencyTable(dib, table, 256);
}

// 4-bit pictures widened to 8 bits, the one depth FreeImage's rotation refuses; the
// widening would drop their transparent entries.
FIBITMAP* Widened(FIBITMAP* dib) {
  FIBITMAP* wide = Described(FreeImage_ConvertTo8Bits(dib), dib);
  if (wide && FreeImage_IsTransparent(dib))
    FreeImage_SetTransparencyTable(wide, FreeImage_GetTransparencyTable(dib), FreeImage_GetTransparencyCount(dib));
  return wide;
}

// What makes a picture stored under EXIF orientation 1..8 upright: a turn
// counter-clockwise (FreeImage's sense), then mirror images.
struct Turn {
  int angle;
  bool flipVertical;
  bool flipHorizontal;
};
constexpr Turn kTurns[9] = {{0, false, false},   {0, false, false}, {0, false, true},
                            {180, false, false}, {0, true, false},  {90, true, false},
                            {270, false, false}, {270, true, false}, {90, false, false}};

// False (and the picture as it was) when FreeImage cannot turn this kind of image.
bool TurnUpright(FIBITMAP** dib, int orientation) {
  if (orientation < 2 || orientation > 8) return false;
  const Turn& turn = kTurns[orientation];
  if (turn.angle != 0) {
    bool narrow = FreeImage_GetImageType(*dib) == FIT_BITMAP && FreeImage_GetBPP(*dib) == 4;
    FIBITMAP* wide = narrow ? Widened(*dib) : nullptr;
    FIBITMAP* source = narrow ? wide : *dib;
    FIBITMAP* turned = source ? FreeImage_Rotate(source, turn.angle, nullptr) : nullptr;
    if (wide) FreeImage_Unload(wide);
    if (!turned) return false;
    FreeImage_Unload(*dib);
    *dib = turned;
  }
  if (turn.flipVertical) FreeImage_FlipVertical(*dib);
  if (turn.flipHorizontal) FreeImage_FlipHorizontal(*dib);
  return true;
}

// What other readers than JPEG's get wrong or pass over, mended from the file's bytes.
FIBITMAP* Mended(FREE_IMAGE_FORMAT format, FIBITMAP* dib, const uint8_t* data, uint32_t size) {
  if (format == FIF_BMP) dib = WithoutEmptyAlpha(dib);
  if (format == FIF_PNG) MendGreyKey(dib, PngLowGreyKey(data, size));
  if (format == FIF_WEBP) KeepWebpExif(dib, data, size);
  // Camera raw files are TIFF inside too, but their reader turns them itself.
  bool namesTurn = format == FIF_TIFF || format == FIF_PNG || format == FIF_WEBP;
  if (namesTurn && TurnUpright(&dib, SourceOrientation(data, size))) MarkUpright(dib, true);
  return dib;
}

FIBITMAP* DecodeWhole(FREE_IMAGE_FORMAT format, FIMEMORY* stream, const uint8_t* data, uint32_t size,
                      int32_t jpegSizeHint, int32_t* errorCode) {
  FIBITMAP* dib = DecodeNoting(format, stream, jpegSizeHint);
  if (dib && tFirstWarning == ReaderWarning::DataEnded) {
    FreeImage_Unload(dib);
    dib = size < UINT32_MAX - 2 ? DecodeWithEndMarker(format, data, size, jpegSizeHint) : nullptr;
    if (!dib) *errorCode = kErrorTruncated;
  }
  if (dib && format == FIF_JPEG) {
    MarkUpright(dib, false);
    ForgetScaledSize(dib);
  } else if (dib) {
    dib = Mended(format, dib, data, size);
  }
  return dib;
}

// Dropping alpha as FreeImage does keeps the colour under it, black in most files:
// clear parts would turn black and half-clear red solid red. The picture is laid on
// white first, as a viewer shows it.
FIBITMAP* OnWhite(FIBITMAP* dib) {
  bool wide = FreeImage_GetImageType(dib) == FIT_BITMAP && FreeImage_GetBPP(dib) == 32;
  FIBITMAP* rgba = wide ? dib : FreeImage_ConvertTo32Bits(dib);
  if (!rgba) return nullptr;
  FIBITMAP* flat = FreeImage_Allocate(static_cast<int>(FreeImage_GetWidth(dib)),
                                      static_cast<int>(FreeImage_GetHeight(dib)), 24);
  if (flat) {
    PixelRows from = RowsOf(rgba), to = RowsOf(flat);
    for (uint32_t y = 0; y < from.height; ++y) {
      const uint8_t* in = from.Row(y);
      uint8_t* out = to.Row(y);
      for (uint32_t x = 0; x < from.width; ++x, in += 4, out += 3) {
        unsigned alpha = in[FI_RGBA_ALPHA], white = 255 * (255 - alpha);
        for (int c = 0; c < 3; ++c) out[c] = static_cast<uint8_t>((in[c] * alpha + white + 127) / 255);
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
// GIF's one transparent colour would.
FIBITMAP* Quantised(FIBITMAP* wide) {
  if (FreeImage_GetBPP(wide) != 32) return FreeImage_ColorQuantize(wide, FIQ_WUQUANT);
  FIBITMAP* colours = FreeImage_ConvertTo24Bits(wide);
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

// A tag's bytes; a text tag's closing zero is no part of what a file carries.
ByteSpan TagBytes(FREE_IMAGE_MDMODEL model, FIBITMAP* dib, const char* key) {
  FITAG* tag = nullptr;
  if (!FreeImage_GetMetadata(model, dib, key, &tag) || !tag) return ByteSpan();
  const auto* bytes = static_cast<const uint8_t*>(FreeImage_GetTagValue(tag));
  size_t size = FreeImage_GetTagLength(tag);
  if (FreeImage_GetTagType(tag) == FIDT_ASCII && size > 0 && bytes[size - 1] == 0) --size;
  return bytes && size > 0 ? ByteSpan{bytes, size} : ByteSpan();
}

// The colour profile, EXIF and XMP that FreeImage's writer kept, around libwebp's picture.
bool EncodeWebpImage(FIBITMAP* dib, int32_t flags, std::vector<uint8_t>* out) {
  WebpMetadata metadata;
  FIICCPROFILE* profile = FreeImage_GetICCProfile(dib);
  if (profile && profile->data && profile->size > 0)
    metadata.icc = ByteSpan{static_cast<const uint8_t*>(profile->data), profile->size};
  metadata.exif = TagBytes(FIMD_EXIF_RAW, dib, "ExifRaw");
  metadata.xmp = TagBytes(FIMD_XMP, dib, "XMLPacket");
  bool alpha = FreeImage_GetBPP(dib) == 32 && FreeImage_IsTransparent(dib);
  return EncodeWebp(RowsOf(dib), alpha, flags, metadata, out);
}

// Whether the JPEG reader will turn this picture by a quarter: it looks at the first
// "Orientation" entry of the main EXIF block, if it has the tag's number, and turns
// for the values 5 to 8.
bool JpegTurnSwapsSides(FIBITMAP* dib) {
  constexpr WORD kOrientationTag = 0x0112;
  FITAG* tag = nullptr;
  if (FreeImage_GetMetadataCount(FIMD_EXIF_MAIN, dib) == 0) return false;
  if (!FreeImage_GetMetadata(FIMD_EXIF_MAIN, dib, "Orientation", &tag) || !tag) return false;
  if (FreeImage_GetTagID(tag) != kOrientationTag || FreeImage_GetTagLength(tag) < 2) return false;
  WORD value = 0;
  std::memcpy(&value, FreeImage_GetTagValue(tag), sizeof value);
  return value >= 5 && value <= 8;
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

Image LoadImageFromBuffer(const uint8_t* data, uint32_t size, int32_t* errorCode, int32_t jpegSizeHint) {
  std::vector<uint8_t> plainBmp;
  if (BmpWithPlainHeader(data, size, &plainBmp)) {
    data = plainBmp.data();
    size = static_cast<uint32_t>(plainBmp.size());
  }
  FIMEMORY* stream = FreeImage_OpenMemory(const_cast<BYTE*>(data), size);
  if (!stream) {
    *errorCode = kErrorBufferUnreadable;
    return Image();
  }
  Image image;
  FREE_IMAGE_FORMAT format = FreeImage_GetFileTypeFromMemory(stream, 0);
  if (format == FIF_UNKNOWN) *errorCode = kErrorUnknownFormat;
  else if (!FreeImage_FIFSupportsReading(format)) *errorCode = kErrorNotReadable;
  else image = Wrap(DecodeWhole(format, stream, data, size, jpegSizeHint, errorCode));
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
  if (!image) return Image();
  if (FreeImage_IsTransparent(Fi(image))) return Wrap(OnWhite(Fi(image)));
  return Wrap(FreeImage_ConvertTo24Bits(Fi(image)));
}

Image ConvertTo32Bits(const Image& image) {
  return image ? Wrap(WithProfile(FreeImage_ConvertTo32Bits(Fi(image)), Fi(image))) : Image();
}

Image ReduceToPalette(const Image& image) {
  if (!image) return Image();
  FIBITMAP* dib = Fi(image);
  if (FreeImage_GetImageType(dib) == FIT_BITMAP && FreeImage_GetBPP(dib) <= 8) return Image();
  // Alpha counts only where FreeImage says the picture has it.
  FIBITMAP* wide = FreeImage_IsTransparent(dib) ? FreeImage_ConvertTo32Bits(dib) : FreeImage_ConvertTo24Bits(dib);
  if (!wide) return Image();
  FIBITMAP* indexed = ExactPalette(wide);
  if (!indexed) indexed = Quantised(wide);
  FreeImage_Unload(wide);
  return Wrap(Described(indexed, dib));
}

Image ConvertToStandardBitmap(const Image& image) {
  if (!image) return Image();
  switch (FreeImage_GetImageType(Fi(image))) {
    case FIT_BITMAP:
      return Image();
    case FIT_UINT16:
      return Wrap(GreyFrom16(Fi(image)));
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
  if (formatId == FIF_WEBP && HaveWebpEncoder()) return EncodeWebpImage(Fi(image), flags, out);
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

bool DropMetadata(const Image& image) {
  if (!image) return false;
  FIBITMAP* dib = Fi(image);
  bool had = false;
  for (int model = FIMD_COMMENTS; model <= FIMD_EXIF_RAW; ++model) {
    auto kind = static_cast<FREE_IMAGE_MDMODEL>(model);
    if (FreeImage_GetMetadataCount(kind, dib) == 0) continue;
    FreeImage_SetMetadata(kind, dib, nullptr, nullptr);
    had = true;
  }
  FIICCPROFILE* profile = FreeImage_GetICCProfile(dib);
  if (profile && profile->size > 0) {
    FreeImage_DestroyICCProfile(dib);
    had = true;
  }
  return had;
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
    header->format = format;
    header->width = FreeImage_GetWidth(dib);
    header->height = FreeImage_GetHeight(dib);
    header->bitsPerPixel = FreeImage_GetBPP(dib);
    header->sidesSwapped = format == FIF_JPEG && JpegTurnSwapsSides(dib);
    FreeImage_Unload(dib);
  }
  FreeImage_CloseMemory(stream);
}
