#include "engine/codecs/cut_files.h"

#include <cstdlib>

#include "engine/codecs/little_endian.h"

namespace {

using le::Read16;
using le::Read32;

constexpr size_t kBmpFileHeader = 14;
constexpr size_t kTgaHeader = 18;

// Past the run-length packets of `pixels` pixels of `pixelBytes` each from `at`; false
// when the data ends first.
bool RunsComplete(const uint8_t* data, size_t size, size_t at, uint64_t pixels, uint32_t pixelBytes) {
  uint64_t done = 0;
  while (done < pixels) {
    if (at >= size) return false;
    uint8_t packet = data[at++];
    uint64_t count = (packet & 0x7F) + 1u;
    at += (packet & 0x80) ? pixelBytes : count * pixelBytes;
    if (at > size) return false;
    done += count;
  }
  return true;
}

}  // namespace

bool BmpPixelsCut(const uint8_t* data, size_t size) {
  if (size < kBmpFileHeader + 16 || data[0] != 'B' || data[1] != 'M') return false;
  uint32_t headerSize = Read32(data + kBmpFileHeader);
  const uint8_t* info = data + kBmpFileHeader;
  uint64_t width, height, bpp;
  uint32_t compression = 0;
  if (headerSize == 12) {
    width = Read16(info + 4), height = Read16(info + 6), bpp = Read16(info + 10);
  } else if (headerSize >= 16 && size >= kBmpFileHeader + 20) {
    width = Read32(info + 4);
    height = static_cast<uint64_t>(std::llabs(static_cast<int32_t>(Read32(info + 8))));
    bpp = Read16(info + 14);
    if (headerSize >= 20 && size >= kBmpFileHeader + 20) compression = Read32(info + 16);
  } else {
    return false;
  }
  bool uncompressed = compression == 0 || compression == 3 || compression == 6;
  if (!uncompressed || bpp == 0 || bpp > 32 || width > 0x7FFFFFFF) return false;
  uint64_t stride = (width * bpp + 31) / 32 * 4;
  uint64_t pixelsAt = Read32(data + 10);
  return pixelsAt + stride * height > size;
}

bool TgaPixelsCut(const uint8_t* data, size_t size) {
  if (size < kTgaHeader) return false;
  uint32_t idLength = data[0], mapType = data[1], type = data[2];
  uint64_t mapBytes = mapType == 1 ? uint64_t{Read16(data + 5)} * ((data[7] + 7u) / 8) : 0;
  uint64_t pixels = uint64_t{Read16(data + 12)} * Read16(data + 14);
  uint32_t pixelBytes = (data[16] + 7u) / 8;
  uint64_t at = kTgaHeader + idLength + mapBytes;
  if (type == 1 || type == 2 || type == 3) return at + pixels * pixelBytes > size;
  if (type == 9 || type == 10 || type == 11) return at >= size || !RunsComplete(data, size, at, pixels, pixelBytes);
  return false;
}
