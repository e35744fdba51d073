#include "engine/codecs/bmp_header.h"

#include <algorithm>

#include "engine/codecs/little_endian.h"

namespace {

using le::Read32;
using le::Write32;

constexpr size_t kFileHeader = 14;
constexpr uint32_t kPlainHeader = 40;
constexpr size_t kMasksAt = kFileHeader + kPlainHeader;  // the masks inside a longer header
constexpr uint32_t kBitFields = 3;
constexpr uint32_t kJpeg = 4;
constexpr uint32_t kPng = 5;
constexpr uint32_t kAlphaBitFields = 6;

bool IsLongerWindowsHeader(uint32_t size) {
  return size != kPlainHeader && IsWindowsInfoHeader(size);
}

// OS/2 2.x headers: the long one (64 bytes) begins as the 40-byte one does, the short
// one (16) holds its first fields only; both count compression 3 and 4 otherwise
// (Huffman, RLE24), which no header change makes readable.
bool IsOs2Header(uint32_t size, uint32_t compression) {
  return (size == 64 || size == 16) && compression < kBitFields;
}

}  // namespace

bool IsWindowsInfoHeader(uint32_t size) {
  return size == kPlainHeader || size == 52 || size == 56 || size == 108 || size == 124;
}

bool BmpWithPlainHeader(const uint8_t* data, size_t size, std::vector<uint8_t>* out) {
  if (size < kFileHeader + 4 || data[0] != 'B' || data[1] != 'M') return false;
  uint32_t headerSize = Read32(data + kFileHeader);
  if (headerSize < 16 || size < kFileHeader + headerSize) return false;
  uint32_t pixelsAt = Read32(data + 10);
  uint32_t compression = headerSize >= 20 ? Read32(data + kFileHeader + 16) : 0;
  size_t headerEnd = kFileHeader + headerSize;
  if (!IsLongerWindowsHeader(headerSize) && !IsOs2Header(headerSize, compression)) return false;
  if (compression == kJpeg || compression == kPng || pixelsAt < headerEnd || pixelsAt > size) return false;
  // The plain header knows three masks; the alpha byte of 32-bit pixels is read as
  // alpha either way.
  bool masks = IsLongerWindowsHeader(headerSize) && (compression == kBitFields || compression == kAlphaBitFields);
  size_t maskBytes = masks ? 12 : 0;
  std::vector<uint8_t> plain;
  plain.reserve(size - headerSize + kPlainHeader + maskBytes);
  plain.insert(plain.end(), data, data + kFileHeader + std::min<size_t>(headerSize, kPlainHeader));
  plain.resize(kFileHeader + kPlainHeader, 0);
  Write32(plain.data() + kFileHeader, kPlainHeader);
  if (masks) {
    Write32(plain.data() + kFileHeader + 16, kBitFields);
    plain.insert(plain.end(), data + kMasksAt, data + kMasksAt + maskBytes);
  }
  // The colour table (or whatever lies before the pixels) and the pixels, unchanged.
  plain.insert(plain.end(), data + headerEnd, data + size);
  // What lies before the pixels grew or shrank by the header's change.
  auto grown = static_cast<int64_t>(kPlainHeader + maskBytes) - static_cast<int64_t>(headerSize);
  Write32(plain.data() + 10, static_cast<uint32_t>(pixelsAt + grown));
  Write32(plain.data() + 2, static_cast<uint32_t>(plain.size()));
  *out = std::move(plain);
  return true;
}
