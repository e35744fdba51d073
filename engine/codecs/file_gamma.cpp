#include "engine/codecs/file_gamma.h"

#include <cmath>
#include <cstdlib>
#include <string>

#include "engine/codecs/freeimage_bridge.h"

namespace {

constexpr char kGammaKey[] = "FileGamma";
constexpr double kDisplayGamma = 2.2;
constexpr size_t kSignature = 8;

uint32_t Crc32(const uint8_t* data, size_t size) {
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
  }
  return ~crc;
}

void PutBig32(std::vector<uint8_t>* b, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) b->push_back(static_cast<uint8_t>(v >> shift));
}

}  // namespace

void SetFileGamma(FIBITMAP* dib, uint32_t gamma) {
  FreeImage_SetMetadataKeyValue(FIMD_CUSTOM, dib, kGammaKey, std::to_string(gamma).c_str());
}

uint32_t FileGamma(const Image& image) {
  FITAG* tag = nullptr;
  if (!image || !FreeImage_GetMetadata(FIMD_CUSTOM, Fi(image), kGammaKey, &tag) || !tag) return 0;
  const char* text = static_cast<const char*>(FreeImage_GetTagValue(tag));
  return text ? static_cast<uint32_t>(std::strtoul(text, nullptr, 10)) : 0;
}

bool ApplyFileGamma(Image* image, uint32_t gamma) {
  if (gamma == 0 || !*image) return true;
  FIBITMAP* dib = Fi(*image);
  double product = gamma / 100000.0 * kDisplayGamma;
  if (std::fabs(product - 1.0) < 0.05) return true;
  // The curve works on 8, 24 and 32 bits; a 1- or 4-bit palette is widened first.
  if (FreeImage_GetBPP(dib) < 8) {
    FIBITMAP* wide = Described(FreeImage_ConvertTo8Bits(dib), dib);
    if (!wide) return false;
    if (FreeImage_IsTransparent(dib))
      FreeImage_SetTransparencyTable(wide, FreeImage_GetTransparencyTable(dib), FreeImage_GetTransparencyCount(dib));
    *image = Wrap(wide);
    dib = wide;
  }
  return FreeImage_AdjustGamma(dib, product) != FALSE;
}

void AddPngGamma(std::vector<uint8_t>* png, uint32_t gamma) {
  constexpr size_t kHeaderChunk = 8 + 13 + 4;  // IHDR: length, type, body, CRC
  if (gamma == 0 || png->size() < kSignature + kHeaderChunk) return;
  std::vector<uint8_t> chunk;
  PutBig32(&chunk, 4);
  chunk.insert(chunk.end(), {'g', 'A', 'M', 'A'});
  PutBig32(&chunk, gamma);
  PutBig32(&chunk, Crc32(chunk.data() + 4, 8));
  png->insert(png->begin() + kSignature + kHeaderChunk, chunk.begin(), chunk.end());
}
