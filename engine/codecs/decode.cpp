// Decoding: the format found from the bytes, the header read alone, the picture decoded,
// and what FreeImage's readers get wrong or pass over mended from the file's own bytes.
#include "engine/codecs/decode.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "engine/codecs/associated_alpha.h"
#include "engine/codecs/container_chunks.h"
#include "engine/codecs/colour_pixels.h"
#include "engine/codecs/cut_files.h"
#include "engine/codecs/decoded_metadata.h"
#include "engine/codecs/exif_orientation.h"
#include "engine/codecs/float_pixels.h"
#include "engine/codecs/freeimage_bridge.h"
#include "engine/codecs/gif_screen.h"
#include "engine/codecs/heif_codec.h"
#include "engine/codecs/jxl_codec.h"
#include "engine/codecs/pcx_form.h"
#include "engine/codecs/picture_image.h"
#include "engine/codecs/readable_form.h"
#include "engine/codecs/source_facts.h"
#include "engine/codecs/tga_form.h"
#include "engine/codecs/tiff_reader.h"
#include "settings/app_settings.h"

namespace {

// The JPEG reader fills what a cut-off file lacks with grey and only warns, where every
// other reader fails; its first warning (later ones are not passed on) is the one sign
// that the picture is incomplete.
enum class ReaderWarning { None, DataEnded, Other };
thread_local ReaderWarning tFirstWarning = ReaderWarning::None;

// A reader that gives no picture says why only in its messages: a kind of picture it
// does not read ("Unsupported ...", "Unable to handle this format"), data that ends
// early ("EOF reading ..."), or
// anything else, which is data it cannot make sense of: a damaged file.
enum class ReaderFailure { None, Damaged, Ended, Unsupported };
thread_local ReaderFailure tFailure = ReaderFailure::None;

bool Says(const char* message, const char* words) {
  return message && std::strstr(message, words) != nullptr;
}

ReaderFailure FailureOf(const char* message) {
  // FreeImage's TIFF reader says "Memory allocation failed" when it has no image type
  // for the samples (signed 16-bit RGB, say); the picture budget keeps real shortage away.
  if (Says(message, "nsupported") || Says(message, "not supported") || Says(message, "Unable to handle") ||
      Says(message, "allocation failed"))
    return ReaderFailure::Unsupported;
  if (Says(message, "EOF") || Says(message, "Premature end") || Says(message, "nexpected end") ||
      Says(message, "runcated"))
    return ReaderFailure::Ended;
  return ReaderFailure::Damaged;
}

void NoteLibraryMessage(FREE_IMAGE_FORMAT, const char* message) {
  tFailure = std::max(tFailure, FailureOf(message));
  if (tFirstWarning != ReaderWarning::None) return;
  bool ended = message && std::strncmp(message, "Premature end of JPEG file", 26) == 0;
  tFirstWarning = ended ? ReaderWarning::DataEnded : ReaderWarning::Other;
}

// The error of a recognised file its reader gave no picture for; 0 when it said nothing.
int32_t FailureCode() {
  switch (tFailure) {
    case ReaderFailure::None: return 0;
    case ReaderFailure::Damaged: return kErrorDamaged;
    case ReaderFailure::Ended: return kErrorTruncated;
    case ReaderFailure::Unsupported: return kErrorNotReadable;
  }
  return 0;
}

// The JPEG reader takes a requested size in the high word of its flags and decodes at
// the largest of 1/2, 1/4 or 1/8 that its longer side allows. By default it decodes with
// libjpeg's fast integer transform and blocky chroma, 37-45 dB from the picture every
// other viewer shows; the accurate decode costs little next to the encoding after it.
// Icons keep their AND mask's transparency only when asked to.
int LoadFlags(FREE_IMAGE_FORMAT format, int32_t jpegSizeHint) {
  if (format == FIF_ICO) return ICO_MAKEALPHA;
  if (format == FIF_PNG) return PNG_IGNOREGAMMA;  // kept beside the picture instead
  if (format != FIF_JPEG) return 0;
  bool hinted = jpegSizeHint > 0 && jpegSizeHint <= 0x7FFF;
  // CMYK comes as its inks, to be taken through its own profile (engine/codecs/colour_pixels.h).
  return JPEG_EXIFROTATE | JPEG_ACCURATE | JPEG_CMYK | (hinted ? jpegSizeHint << 16 : 0);
}

FIBITMAP* DecodeNoting(FREE_IMAGE_FORMAT format, FIMEMORY* stream, int32_t jpegSizeHint) {
  static const bool listening = (FreeImage_SetOutputMessage(NoteLibraryMessage), true);
  (void)listening;
  tFirstWarning = ReaderWarning::None;
  tFailure = ReaderFailure::None;
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

// A GIF's first frame laid on its screen, which is clear around it, as browsers show it
// (a JPG result has it on white, as any transparency). Null when the canvas cannot be had.
FIBITMAP* OnGifScreen(FIBITMAP* frame, const uint8_t* data, uint32_t size) {
  GifPlacement placement;
  if (!ReadGifPlacement(data, size, &placement) || placement.FrameIsPicture()) return frame;
  FIBITMAP* canvas = FreeImage_Allocate(placement.CanvasWidth(), placement.CanvasHeight(), 32);
  FIBITMAP* wide = canvas ? FreeImage_ConvertTo32Bits(frame) : nullptr;
  bool laid = false;
  if (wide) {
    PixelRows rows = RowsOf(canvas);
    for (uint32_t y = 0; y < rows.height; ++y) std::memset(rows.Row(y), 0, size_t{rows.width} * 4);
    laid = FreeImage_Paste(canvas, wide, static_cast<int>(placement.left), static_cast<int>(placement.top), 256);
    FreeImage_Unload(wide);
  }
  if (!laid) {
    if (canvas) FreeImage_Unload(canvas);
    FreeImage_Unload(frame);
    return nullptr;
  }
  Described(canvas, frame);
  FreeImage_Unload(frame);
  return canvas;
}

// What other readers than JPEG's get wrong or pass over, mended from the file's bytes.
FIBITMAP* Mended(FREE_IMAGE_FORMAT format, FIBITMAP* dib, const uint8_t* data, uint32_t size) {
  if (format == FIF_GIF) return OnGifScreen(dib, data, size);
  if (format == FIF_TIFF && !(dib = FloatsAsBytes(dib))) return nullptr;
  if (format == FIF_TIFF && TiffAlphaIsAssociated(data, size)) UnpremultiplyAlpha(dib);
  if (format == FIF_BMP) dib = WithoutEmptyAlpha(dib);
  if (format == FIF_PNG) {
    MendGreyKey(dib, PngLowGreyKey(data, size));
    KeepPngProfile(dib, data, size);
    if (uint32_t gamma = PngGamma(data, size)) SetFileGamma(dib, gamma);
  }
  if (format == FIF_WEBP) KeepWebpExif(dib, data, size);
  // Camera raw files are TIFF inside too, but their reader turns them itself.
  bool namesTurn = format == FIF_TIFF || format == FIF_PNG || format == FIF_WEBP;
  int orientation = SourceOrientation(data, size);
  int textTurn = format == FIF_PNG ? KeepPngTextExif(dib) : 0;
  if (orientation == 0) orientation = textTurn;
  if (namesTurn && TurnUpright(&dib, orientation)) MarkUpright(dib, true);
  return dib;
}

// A CMYK or YCCK JPEG's inks as RGB, through its profile when it has one; null with 19
// when that profile cannot be followed.
FIBITMAP* CmykJpegAsRgb(FIBITMAP* cmyk, int32_t* errorCode) {
  bool unusable = false;
  FIBITMAP* rgb = CmykAsRgb(cmyk, &unusable);
  FreeImage_Unload(cmyk);
  if (!rgb) *errorCode = unusable ? kErrorDamaged : kErrorTooLarge;
  return rgb;
}

FIBITMAP* DecodeWhole(FREE_IMAGE_FORMAT format, FIMEMORY* stream, const uint8_t* data, uint32_t size,
                      int32_t jpegSizeHint, int32_t* errorCode) {
  if ((format == FIF_BMP && BmpPixelsCut(data, size)) || (format == FIF_TARGA && TgaPixelsCut(data, size))) {
    *errorCode = kErrorTruncated;
    return nullptr;
  }
  FIBITMAP* dib = DecodeNoting(format, stream, jpegSizeHint);
  if (!dib && *errorCode == 0) *errorCode = FailureCode();
  if (dib && tFirstWarning == ReaderWarning::DataEnded) {
    FreeImage_Unload(dib);
    dib = size < UINT32_MAX - 2 ? DecodeWithEndMarker(format, data, size, jpegSizeHint) : nullptr;
    if (!dib) *errorCode = kErrorTruncated;
  }
  if (dib && format == FIF_JPEG && FreeImage_GetColorType(dib) == FIC_CMYK) dib = CmykJpegAsRgb(dib, errorCode);
  if (dib && format == FIF_JPEG) {
    MarkUpright(dib, false);
    ForgetScaledSize(dib);
  } else if (dib) {
    dib = Mended(format, dib, data, size);
    if (!dib) *errorCode = kErrorTooLarge;
  }
  MarkXmpUpright(dib);
  return dib;
}

// Whether the JPEG reader will turn this picture by a quarter: it looks at the first
// "Orientation" entry of the main EXIF block, if it has the tag's number, and turns
// for the values 5 to 8.
int JpegOrientation(FIBITMAP* dib) {
  constexpr WORD kOrientationTag = 0x0112;
  FITAG* tag = nullptr;
  if (FreeImage_GetMetadataCount(FIMD_EXIF_MAIN, dib) == 0) return 0;
  if (!FreeImage_GetMetadata(FIMD_EXIF_MAIN, dib, "Orientation", &tag) || !tag) return 0;
  if (FreeImage_GetTagID(tag) != kOrientationTag || FreeImage_GetTagLength(tag) < 2) return 0;
  WORD value = 0;
  std::memcpy(&value, FreeImage_GetTagValue(tag), sizeof value);
  return value >= 1 && value <= 8 ? value : 0;
}

// TGA and PCX kinds FreeImage refuses or misreads, unpacked first (engine/codecs/tga_form.h,
// pcx_form.h). True with the plain file in *plain; false with *errorCode set (13, 19)
// when the file cannot be unpacked, or left 0 when it needs no unpacking.
bool PlainForm(FREE_IMAGE_FORMAT format, const uint8_t* data, uint32_t size, std::vector<uint8_t>* plain,
               int32_t* errorCode) {
  if (format == FIF_PCX) {
    PcxUnpack pcx = UnpackPcx(data, size, plain);
    if (pcx == PcxUnpack::Cut) *errorCode = kErrorTruncated;
    return pcx == PcxUnpack::Unpacked;
  }
  if (format != FIF_TARGA && format != FIF_UNKNOWN) return false;
  switch (UnpackTga(data, size, format == FIF_TARGA, plain)) {
    case TgaUnpack::Unpacked: return true;
    case TgaUnpack::Cut: *errorCode = kErrorTruncated; return false;
    case TgaUnpack::Damaged: *errorCode = kErrorDamaged; return false;
    case TgaUnpack::AsIs: return false;
  }
  return false;
}

// A file in the form FreeImage reads, by the reader its bytes name.
Image DecodeFound(FREE_IMAGE_FORMAT format, FIMEMORY* stream, const uint8_t* data, uint32_t size,
                  int32_t jpegSizeHint, int32_t* errorCode) {
  if (format == FIF_UNKNOWN) *errorCode = kErrorUnknownFormat;
  else if (!FreeImage_FIFSupportsReading(format)) *errorCode = kErrorNotReadable;
  else return Wrap(DecodeWhole(format, stream, data, size, jpegSizeHint, errorCode));
  return Image();
}

// HEIF, AVIF and JPEG XL, which FreeImage does not know: their own libraries read them.
bool ReadOwnFormatHeader(const uint8_t* data, uint32_t size, PictureHeader* header) {
  PictureFacts facts;
  if (IsHeifFile(data, size)) {
    header->format = IsAvifFile(data, size) ? kFormatAvif : kFormatHeif;
    ReadHeifFacts(data, size, &facts);
  } else if (IsJxlFile(data, size)) {
    header->format = kFormatJxl;
    ReadJxlFacts(data, size, &facts);
  } else if (TiffIsOurs(data, size)) {
    header->format = FIF_TIFF;
    ReadOurTiffFacts(data, size, &facts);
  } else {
    return false;
  }
  header->known = facts.known;
  header->width = facts.width;
  header->height = facts.height;
  header->bitsPerPixel = facts.alpha ? 32 : 24;
  return true;
}

bool DecodeOwnFormat(const uint8_t* data, uint32_t size, int32_t* errorCode, Text* detail, Image* image) {
  bool heif = IsHeifFile(data, size);
  if (!heif && !IsJxlFile(data, size)) return false;
  DecodedPicture picture = heif ? DecodeHeif(data, size) : DecodeJxl(data, size);
  *image = ImageFromPicture(picture);
  if (*image) MarkXmpUpright(Fi(*image));
  if (picture.error != 0) *errorCode = picture.error;
  if (detail && !picture.detail.empty()) *detail = picture.detail;
  return true;
}

// TIFF layouts FreeImage refuses or misreads (engine/codecs/tiff_reader.h), with the
// metadata FreeImage's reader finds in the same file.
bool DecodeOwnTiff(const uint8_t* data, uint32_t size, int32_t* errorCode, Text* detail, Image* image) {
  if (!TiffIsOurs(data, size)) return false;
  OurTiff tiff = DecodeOurTiff(data, size);
  if (!tiff.dib) {
    *errorCode = tiff.error;
    if (detail && !tiff.detail.empty()) *detail = tiff.detail;
    return true;
  }
  if (FIMEMORY* stream = FreeImage_OpenMemory(const_cast<BYTE*>(data), size)) {
    if (FIBITMAP* notes = FreeImage_LoadFromMemory(FIF_TIFF, stream, FIF_LOAD_NOPIXELS)) {
      FreeImage_CloneMetadata(tiff.dib, notes);
      FreeImage_Unload(notes);
    }
    FreeImage_CloseMemory(stream);
  }
  if (TurnUpright(&tiff.dib, tiff.orientation)) MarkUpright(tiff.dib, true);
  MarkXmpUpright(tiff.dib);
  *image = Wrap(tiff.dib);
  return true;
}

}  // namespace

Image LoadImageFromBuffer(const uint8_t* data, uint32_t size, int32_t* errorCode, int32_t jpegSizeHint,
                          Text* detail) {
  Image own;
  if (DecodeOwnFormat(data, size, errorCode, detail, &own)) return own;
  if (DecodeOwnTiff(data, size, errorCode, detail, &own)) return own;
  std::vector<uint8_t> readable;
  if (InReadableForm(data, size, FormFor::Pixels, &readable, errorCode)) {
    data = readable.data();
    size = static_cast<uint32_t>(readable.size());
  } else if (*errorCode != 0) {
    return Image();
  }
  FIMEMORY* stream = FreeImage_OpenMemory(const_cast<BYTE*>(data), size);
  if (!stream) {
    *errorCode = kErrorBufferUnreadable;
    return Image();
  }
  FREE_IMAGE_FORMAT format = FreeImage_GetFileTypeFromMemory(stream, 0);
  std::vector<uint8_t> plain;
  bool unpacked = PlainForm(format, data, size, &plain, errorCode);
  Image image;
  if (!unpacked && *errorCode == 0) image = DecodeFound(format, stream, data, size, jpegSizeHint, errorCode);
  FreeImage_CloseMemory(stream);
  if (unpacked) return LoadImageFromBuffer(plain.data(), static_cast<uint32_t>(plain.size()), errorCode, 0, detail);
  return image;
}

namespace {

// FreeImage's GIF reader cannot read a header alone; the screen is in the first bytes.
bool ReadGifHeader(const uint8_t* data, uint32_t size, PictureHeader* header) {
  GifPlacement placement;
  if (!ReadGifPlacement(data, size, &placement)) return false;
  header->known = true;
  header->format = FIF_GIF;
  header->width = placement.CanvasWidth();
  header->height = placement.CanvasHeight();
  header->bitsPerPixel = placement.FrameIsPicture() ? 8 : 32;
  return true;
}

}  // namespace

void ReadPictureHeader(const uint8_t* data, uint32_t size, PictureHeader* header) {
  *header = PictureHeader();
  if (ReadOwnFormatHeader(data, size, header) || ReadGifHeader(data, size, header)) return;
  std::vector<uint8_t> readable;
  int32_t unreadable = 0;
  if (InReadableForm(data, size, FormFor::HeaderOnly, &readable, &unreadable)) {
    data = readable.data();
    size = static_cast<uint32_t>(readable.size());
  }
  FIMEMORY* stream = FreeImage_OpenMemory(const_cast<BYTE*>(data), size);
  if (!stream) return;
  FREE_IMAGE_FORMAT format = FreeImage_GetFileTypeFromMemory(stream, 0);
  header->format = format;
  // Without header-only support the flag is ignored and the reader would decode it all.
  bool headerOnly = format != FIF_UNKNOWN && FreeImage_FIFSupportsReading(format) &&
                    FreeImage_FIFSupportsNoPixels(format);
  // A CMYK JPEG's inks take four bytes a pixel before they become RGB.
  int flags = FIF_LOAD_NOPIXELS | (format == FIF_JPEG ? JPEG_CMYK : 0);
  FIBITMAP* dib = headerOnly ? FreeImage_LoadFromMemory(format, stream, flags) : nullptr;
  if (dib) {
    header->known = true;
    header->format = format;
    header->width = FreeImage_GetWidth(dib);
    header->height = FreeImage_GetHeight(dib);
    header->bitsPerPixel = FreeImage_GetBPP(dib);
    header->orientation = format == FIF_JPEG ? JpegOrientation(dib) : 0;
    header->sidesSwapped = header->orientation >= 5;
    FreeImage_Unload(dib);
  }
  FreeImage_CloseMemory(stream);
}
