#include "engine/codecs/bmp_masks.h"

#include <cstdlib>

#include "engine/codecs/bmp_header.h"
#include "engine/codecs/little_endian.h"

namespace {

using le::Put16;
using le::Put32;
using le::Read32;

constexpr size_t kFileHeader = 14;
constexpr uint32_t kPlainHeader = 40;
constexpr uint32_t kBitFields = 3;
constexpr uint32_t kAlphaBitFields = 6;

// One channel's mask: where its bits start and how many there are.
struct Channel {
  uint32_t mask = 0;
  int shift = 0;
  int bits = 0;

  // False for a mask whose bits are not one run.
  bool Set(uint32_t m) {
    mask = m;
    if (m == 0) return true;
    while (!((m >> shift) & 1)) ++shift;
    while (shift + bits < 32 && ((m >> (shift + bits)) & 1)) ++bits;
    return (m >> shift) == (bits == 32 ? 0xFFFFFFFFu : (1u << bits) - 1);
  }

  // The channel's value on 0..255, rounded.
  uint8_t Of(uint32_t pixel) const {
    if (bits == 0) return 0;
    uint32_t v = (pixel & mask) >> shift;
    if (bits >= 8) return static_cast<uint8_t>(v >> (bits - 8));
    uint32_t max = (1u << bits) - 1;
    return static_cast<uint8_t>((v * 255 + max / 2) / max);
  }
};

// Masks of a 40-byte header follow it (three, or four for BI_ALPHABITFIELDS); longer
// headers hold them at the same place, the alpha mask from 56 bytes on.
bool ReadMasks(const uint8_t* data, size_t size, uint32_t headerSize, uint32_t compression, Channel c[4]) {
  size_t at = kFileHeader + kPlainHeader;
  bool alpha = headerSize >= 56 || compression == kAlphaBitFields;
  if (at + (alpha ? 16 : 12) > size) return false;
  uint32_t all = 0;
  for (int i = 0; i < (alpha ? 4 : 3); ++i) {
    uint32_t mask = Read32(data + at + 4 * i);
    if (!c[i].Set(mask) || (all & mask)) return false;
    all |= mask;
  }
  return c[0].mask || c[1].mask || c[2].mask;
}

std::vector<uint8_t> PlainHeader(int32_t width, int32_t height, uint16_t bpp, uint32_t stride) {
  uint32_t pixelBytes = stride * static_cast<uint32_t>(std::abs(height));
  std::vector<uint8_t> b = {'B', 'M'};
  Put32(&b, static_cast<uint32_t>(kFileHeader + kPlainHeader + pixelBytes));
  Put32(&b, 0);
  Put32(&b, static_cast<uint32_t>(kFileHeader + kPlainHeader));
  Put32(&b, kPlainHeader);
  Put32(&b, static_cast<uint32_t>(width));
  Put32(&b, static_cast<uint32_t>(height));
  Put16(&b, 1);
  Put16(&b, bpp);
  Put32(&b, 0);  // BI_RGB
  Put32(&b, pixelBytes);
  for (int i = 0; i < 4; ++i) Put32(&b, 0);  // resolution, colours
  return b;
}

}  // namespace

BmpUnpack UnpackBmpBitFields(const uint8_t* data, size_t size, std::vector<uint8_t>* out) {
  if (size < kFileHeader + kPlainHeader || data[0] != 'B' || data[1] != 'M') return BmpUnpack::NotBitFields;
  uint32_t headerSize = Read32(data + kFileHeader);
  const uint8_t* info = data + kFileHeader;
  uint32_t bpp = uint32_t(info[14]) | uint32_t(info[15]) << 8;
  uint32_t compression = Read32(info + 16);
  bool bitFields = compression == kBitFields || compression == kAlphaBitFields;
  if (!IsWindowsInfoHeader(headerSize) || !bitFields || (bpp != 16 && bpp != 32))
    return BmpUnpack::NotBitFields;
  Channel c[4];
  if (!ReadMasks(data, size, headerSize, compression, c)) return BmpUnpack::Damaged;
  auto width = static_cast<int32_t>(Read32(info + 4));
  auto height = static_cast<int32_t>(Read32(info + 8));
  uint32_t pixelsAt = Read32(data + 10);
  if (width <= 0 || height == 0 || height == INT32_MIN || width > 0xFFFFFF || std::abs(height) > 0xFFFFFF)
    return BmpUnpack::Damaged;
  uint64_t rows = static_cast<uint64_t>(std::abs(height));
  uint64_t inStride = (uint64_t(width) * bpp / 8 + 3) & ~uint64_t{3};
  if (pixelsAt > size || inStride * rows > size - pixelsAt) return BmpUnpack::Cut;
  bool alpha = c[3].mask != 0;
  uint16_t outBpp = alpha ? 32 : 24;
  uint32_t outStride = static_cast<uint32_t>((uint64_t(width) * outBpp / 8 + 3) & ~uint64_t{3});
  std::vector<uint8_t> plain = PlainHeader(width, height, outBpp, outStride);
  size_t headerEnd = plain.size();
  plain.resize(headerEnd + size_t{outStride} * rows, 0);
  // Rows stay in the file's order; the header keeps its height's sign.
  for (uint64_t y = 0; y < rows; ++y) {
    const uint8_t* in = data + pixelsAt + y * inStride;
    uint8_t* o = plain.data() + headerEnd + y * outStride;
    for (int32_t x = 0; x < width; ++x, in += bpp / 8) {
      uint32_t pixel = bpp == 16 ? uint32_t(in[0]) | uint32_t(in[1]) << 8 : Read32(in);
      *o++ = c[2].Of(pixel);
      *o++ = c[1].Of(pixel);
      *o++ = c[0].Of(pixel);
      if (alpha) *o++ = c[3].Of(pixel);
    }
  }
  *out = std::move(plain);
  return BmpUnpack::Unpacked;
}
