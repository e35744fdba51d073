#include "engine/codecs/source_facts.h"

#include <cstdlib>
#include <string>

#include "engine/codecs/container_chunks.h"
#include "engine/codecs/exif_orientation.h"

namespace {

constexpr uint8_t kPngGrey = 0;  // colour type of grey without alpha
constexpr uint16_t kPhotometricTag = 262;
constexpr uint16_t kExtraSamplesTag = 338;
constexpr int kAssociatedAlpha = 1;

// FreeImage reads YCbCr and Lab TIFFs through libtiff's RGBA interface, which applies
// the mirror part of a turn itself: 2 and 6 mirrored left to right, 3 and 7 both ways,
// 4 and 8 top to bottom. What remains to be done is another orientation.
int TiffOrientation(const uint8_t* data, size_t size) {
  int orientation = ReadExifOrientation(data, size);
  int photometric = ReadFirstDirectoryShort(data, size, kPhotometricTag);
  bool throughRgba = photometric == 6 || (photometric >= 8 && photometric <= 10);
  constexpr int kLeftAfterMirrors[9] = {0, 1, 1, 1, 1, 5, 7, 5, 7};
  return throughRgba ? kLeftAfterMirrors[orientation] : orientation;
}

}  // namespace

int SourceOrientation(const uint8_t* data, size_t size) {
  if (IsTiffFile(data, size)) return TiffOrientation(data, size);
  ByteSpan exif;
  if (IsPngFile(data, size)) exif = FindPngChunk(data, size, "eXIf");
  else if (IsWebpFile(data, size)) exif = FindWebpChunk(data, size, "EXIF");
  return exif ? ReadExifOrientation(exif.data, exif.size) : 0;
}

int PngLowGreyKey(const uint8_t* data, size_t size) {
  ByteSpan header = FindPngChunk(data, size, "IHDR");
  if (!header || header.size < 13 || header.data[9] != kPngGrey) return -1;
  int bits = header.data[8];
  if (bits != 1 && bits != 2 && bits != 4) return -1;
  ByteSpan key = FindPngChunk(data, size, "tRNS");
  if (!key || key.size < 2) return -1;
  int top = (1 << bits) - 1;
  int value = (key.data[0] << 8) | key.data[1];
  // A value no sample can hold makes nothing transparent. Widening repeats the bits of
  // a sample, so the top value becomes 255.
  return value <= top ? value * 255 / top : -1;
}

uint32_t PngGamma(const uint8_t* data, size_t size) {
  if (!IsPngFile(data, size)) return 0;
  ByteSpan gamma = FindPngChunk(data, size, "gAMA");
  if (!gamma || gamma.size < 4) return 0;
  return uint32_t(gamma.data[0]) << 24 | uint32_t(gamma.data[1]) << 16 | uint32_t(gamma.data[2]) << 8 | gamma.data[3];
}

bool TiffAlphaIsAssociated(const uint8_t* data, size_t size) {
  return IsTiffFile(data, size) && ReadFirstDirectoryShort(data, size, kExtraSamplesTag) == kAssociatedAlpha;
}

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::vector<uint8_t> RawProfileBytes(const char* text, size_t length) {
  std::string all(text, length);
  size_t name = all.find_first_not_of("\r\n");
  size_t nameEnd = name == std::string::npos ? name : all.find('\n', name);
  if (nameEnd == std::string::npos) return {};
  unsigned long count = std::strtoul(all.c_str() + nameEnd + 1, nullptr, 10);
  size_t lengthEnd = all.find('\n', nameEnd + 1);
  if (count == 0 || count > all.size() || lengthEnd == std::string::npos) return {};
  std::vector<uint8_t> bytes;
  bytes.reserve(count);
  int high = -1;
  for (size_t i = lengthEnd + 1; i < all.size() && bytes.size() < count; ++i) {
    int digit = HexDigit(all[i]);
    if (digit < 0) continue;  // line breaks and blanks between the hex lines
    if (high < 0) {
      high = digit;
    } else {
      bytes.push_back(static_cast<uint8_t>(high << 4 | digit));
      high = -1;
    }
  }
  if (bytes.size() != count) return {};
  return bytes;
}
