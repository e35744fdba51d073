// Encoding into memory: FreeImage's writers, and libwebp's for WEBP where the build has
// it, with what describes the picture (profile, EXIF, XMP) carried over.
#include "engine/codecs/encode.h"

#include "engine/codecs/container_chunks.h"
#include "engine/codecs/freeimage_bridge.h"
#include "engine/codecs/avif_encoder.h"
#include "engine/codecs/jxl_codec.h"
#include "engine/codecs/webp_encoder.h"

namespace {

// A tag's bytes; a text tag's closing zero is no part of what a file carries.
ByteSpan TagBytes(FREE_IMAGE_MDMODEL model, FIBITMAP* dib, const char* key) {
  FITAG* tag = nullptr;
  if (!FreeImage_GetMetadata(model, dib, key, &tag) || !tag) return ByteSpan();
  const auto* bytes = static_cast<const uint8_t*>(FreeImage_GetTagValue(tag));
  size_t size = FreeImage_GetTagLength(tag);
  if (FreeImage_GetTagType(tag) == FIDT_ASCII && size > 0 && bytes[size - 1] == 0) --size;
  return bytes && size > 0 ? ByteSpan{bytes, size} : ByteSpan();
}

// The colour profile, EXIF and XMP that FreeImage's writers keep, for the encoders of their
// own libraries.
PictureMetadata MetadataOf(FIBITMAP* dib) {
  PictureMetadata metadata;
  FIICCPROFILE* profile = FreeImage_GetICCProfile(dib);
  if (profile && profile->data && profile->size > 0)
    metadata.icc = ByteSpan{static_cast<const uint8_t*>(profile->data), profile->size};
  metadata.exif = TagBytes(FIMD_EXIF_RAW, dib, "ExifRaw");
  metadata.xmp = TagBytes(FIMD_XMP, dib, "XMLPacket");
  return metadata;
}

// WEBP through libwebp, AVIF through libheif, JPEG XL through libjxl: 24- or 32-bit rows
// (alpha only where the picture has any) and what describes them.
bool EncodeWithOwnLibrary(EncoderKind encoder, FIBITMAP* dib, int32_t flags, std::vector<uint8_t>* out) {
  bool alpha = FreeImage_GetBPP(dib) == 32 && FreeImage_IsTransparent(dib);
  PictureMetadata metadata = MetadataOf(dib);
  switch (encoder) {
    case EncoderKind::Libwebp: return EncodeWebp(RowsOf(dib), alpha, flags, metadata, out);
    case EncoderKind::Avif: return EncodeAvif(RowsOf(dib), alpha, flags, metadata, out);
    case EncoderKind::Jxl: return EncodeJxl(RowsOf(dib), alpha, flags, metadata, out);
    default: return false;
  }
}


}  // namespace

bool SetSoftwareTag(const Image& image, const char* value) {
  return image && FreeImage_SetMetadataKeyValue(FIMD_IPTC, Fi(image), "Software", value);
}

namespace {

// What FreeImage's writer of the format declares it takes.
bool FreeImageTakes(int32_t formatId, const Image& image) {
  if (!image || formatId < 0) return false;
  auto fif = static_cast<FREE_IMAGE_FORMAT>(formatId);
  FREE_IMAGE_TYPE type = FreeImage_GetImageType(Fi(image));
  if (!FreeImage_FIFSupportsWriting(fif) || !FreeImage_FIFSupportsExportType(fif, type)) return false;
  // The depth list of a plugin speaks of ordinary bitmaps only; a 48-bit RGB16 image is
  // declared by its type alone.
  return type != FIT_BITMAP || FreeImage_FIFSupportsExportBPP(fif, static_cast<int>(FreeImage_GetBPP(Fi(image))));
}

bool EncodeWithFreeImage(const Image& image, int32_t formatId, int32_t flags, std::vector<uint8_t>* out) {
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

// Whether the format is written by a library of its own in this build (else FreeImage's
// writer, for WEBP where libwebp is missing).
bool UsesOwnLibrary(const OutputFormat& format) {
  switch (format.encoder) {
    case EncoderKind::Libwebp: return HaveWebpEncoder();
    case EncoderKind::Avif: return HaveAvifEncoder();
    case EncoderKind::Jxl: return HaveJxlCodec();
    default: return false;
  }
}

}  // namespace

bool CanEncode(const OutputFormat& format, const Image& image) {
  if (format.encoder == EncoderKind::None) return false;
  if (UsesOwnLibrary(format)) {
    uint32_t bpp = ImageBpp(image);
    return IsStandardBitmap(image) && (bpp == 24 || bpp == 32);
  }
  return FreeImageTakes(format.formatId, image);
}

bool EncodeImage(const Image& image, const OutputFormat& format, int32_t flags, std::vector<uint8_t>* out) {
  out->clear();
  if (!CanEncode(format, image)) return false;
  if (UsesOwnLibrary(format)) return EncodeWithOwnLibrary(format.encoder, Fi(image), flags, out);
  return EncodeWithFreeImage(image, format.formatId, flags, out);
}

bool EncodeImage(const Image& image, int32_t formatId, int32_t flags, std::vector<uint8_t>* out) {
  return EncodeImage(image, OutputFormatById(formatId), flags, out);
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


bool KeepsColourProfile(const OutputFormat& format) {
  switch (format.encoder) {
    case EncoderKind::Libwebp:
    case EncoderKind::Avif:
    case EncoderKind::Jxl: return true;
    case EncoderKind::FreeImage:
      return format.formatId == FIF_JPEG || format.formatId == FIF_PNG || format.formatId == FIF_TIFF ||
             format.formatId == FIF_WEBP;
    default: return false;
  }
}

bool CanWriteFormat(const OutputFormat& format) {
  if (UsesOwnLibrary(format)) return true;
  if (format.encoder != EncoderKind::FreeImage && format.encoder != EncoderKind::Libwebp) return false;
  return format.formatId >= 0 && FreeImage_FIFSupportsWriting(static_cast<FREE_IMAGE_FORMAT>(format.formatId));
}

