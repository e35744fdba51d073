#include "engine/codecs/webp_encoder.h"

#include <cstring>

#if defined(TESSALY_LIBWEBP)

#define TESSALY_HOST_HEADER <webp/encode.h>
#include "engine/codecs/host_header.h"

namespace {

constexpr int32_t kQualityBits = 0x7F;
constexpr int32_t kLosslessFlag = 0x100;
constexpr int kDefaultQuality = 75;  // what FreeImage's writer takes for quality 0
constexpr size_t kRiffHeader = 12;
constexpr uint8_t kIccFlag = 0x20, kAlphaFlag = 0x10, kExifFlag = 0x08, kXmpFlag = 0x04;

// The same quality and lossless choices FreeImage's writer makes from the flag word;
// the effort is libwebp's default.
bool ConfigFromFlags(int32_t flags, WebPConfig* config) {
  if (!WebPConfigInit(config)) return false;
  int quality = flags & kQualityBits;
  config->quality = static_cast<float>(quality == 0 ? kDefaultQuality : quality > 100 ? 100 : quality);
  // The quality slider does not reach lossless pictures (it did not through FreeImage
  // either): lossless keeps libwebp's default effort.
  if (flags & kLosslessFlag) {
    config->lossless = 1;
    config->quality = kDefaultQuality;
  }
  return WebPValidateConfig(config) != 0;
}

// FreeImage keeps the bottom row first; a negative stride hands libwebp the top row first.
bool ImportRows(const PixelRows& pixels, bool alpha, WebPPicture* picture) {
  const uint8_t* top = pixels.Row(pixels.height - 1);
  int stride = -static_cast<int>(pixels.pitch);
  if (pixels.bpp == 24) return WebPPictureImportBGR(picture, top, stride);
  if (pixels.bpp != 32) return false;
  return alpha ? WebPPictureImportBGRA(picture, top, stride) : WebPPictureImportBGRX(picture, top, stride);
}

bool EncodePicture(const PixelRows& pixels, bool alpha, int32_t flags, std::vector<uint8_t>* out) {
  WebPConfig config;
  WebPPicture picture;
  if (!ConfigFromFlags(flags, &config) || !WebPPictureInit(&picture)) return false;
  picture.width = static_cast<int>(pixels.width);
  picture.height = static_cast<int>(pixels.height);
  picture.use_argb = config.lossless;
  WebPMemoryWriter writer;
  WebPMemoryWriterInit(&writer);
  picture.writer = WebPMemoryWrite;
  picture.custom_ptr = &writer;
  bool ok = ImportRows(pixels, alpha, &picture) && WebPEncode(&config, &picture);
  WebPPictureFree(&picture);
  if (ok) out->assign(writer.mem, writer.mem + writer.size);
  WebPMemoryWriterClear(&writer);
  return ok && !out->empty();
}

void Put32(std::vector<uint8_t>* out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out->push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void Put24(std::vector<uint8_t>* out, uint32_t value) {
  for (int i = 0; i < 3; ++i) out->push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void PutChunk(std::vector<uint8_t>* out, const char type[4], const uint8_t* body, size_t size) {
  out->insert(out->end(), type, type + 4);
  Put32(out, static_cast<uint32_t>(size));
  out->insert(out->end(), body, body + size);
  if (size & 1) out->push_back(0);
}

// Whether the picture the encoder wrote uses its alpha: an ALPH chunk beside lossy
// data, or the flag in the lossless bitstream's header.
bool UsesAlpha(const uint8_t* encoded, size_t size) {
  if (FindWebpChunk(encoded, size, "ALPH")) return true;
  ByteSpan lossless = FindWebpChunk(encoded, size, "VP8L");
  return lossless && lossless.size >= 5 && (lossless.data[4] & 0x10) != 0;
}

// The extended file layout: VP8X first, then ICCP, the picture's own chunks, EXIF and
// XMP, in the order the format prescribes.
std::vector<uint8_t> WithMetadata(const std::vector<uint8_t>& encoded, const PixelRows& pixels,
                                  const PictureMetadata& metadata) {
  ByteSpan exif = metadata.exif ? TiffOnly(metadata.exif) : ByteSpan();
  uint8_t flags = (metadata.icc ? kIccFlag : 0) | (exif ? kExifFlag : 0) | (metadata.xmp ? kXmpFlag : 0);
  if (UsesAlpha(encoded.data(), encoded.size())) flags |= kAlphaFlag;
  std::vector<uint8_t> out = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'E', 'B', 'P'};
  std::vector<uint8_t> header = {flags, 0, 0, 0};
  Put24(&header, pixels.width - 1);
  Put24(&header, pixels.height - 1);
  PutChunk(&out, "VP8X", header.data(), header.size());
  if (metadata.icc) PutChunk(&out, "ICCP", metadata.icc.data, metadata.icc.size);
  // The encoder's own chunks after its header, except a VP8X of its own.
  for (size_t at = kRiffHeader; encoded.size() - at >= 8;) {
    const uint8_t* chunk = encoded.data() + at;
    size_t length = chunk[4] | chunk[5] << 8 | chunk[6] << 16 | size_t(chunk[7]) << 24;
    size_t whole = 8 + length + (length & 1);
    if (whole > encoded.size() - at) break;
    if (std::memcmp(chunk, "VP8X", 4) != 0) out.insert(out.end(), chunk, chunk + whole);
    at += whole;
  }
  if (exif) PutChunk(&out, "EXIF", exif.data, exif.size);
  if (metadata.xmp) PutChunk(&out, "XMP ", metadata.xmp.data, metadata.xmp.size);
  uint32_t riffSize = static_cast<uint32_t>(out.size() - 8);
  for (int i = 0; i < 4; ++i) out[4 + i] = static_cast<uint8_t>(riffSize >> (8 * i));
  return out;
}

}  // namespace

bool HaveWebpEncoder() {
  return true;
}

bool EncodeWebp(const PixelRows& pixels, bool alpha, int32_t flags, const PictureMetadata& metadata,
                std::vector<uint8_t>* out) {
  out->clear();
  if (!pixels.bits || pixels.width == 0 || pixels.height == 0) return false;
  std::vector<uint8_t> encoded;
  if (!EncodePicture(pixels, alpha, flags, &encoded)) return false;
  bool bare = !metadata.icc && !metadata.exif && !metadata.xmp;
  *out = bare ? std::move(encoded) : WithMetadata(encoded, pixels, metadata);
  return true;
}

#else  // no libwebp in this build (see cmake/win32.cmake)

bool HaveWebpEncoder() {
  return false;
}

bool EncodeWebp(const PixelRows&, bool, int32_t, const PictureMetadata&, std::vector<uint8_t>* out) {
  out->clear();
  return false;
}

#endif
