#include "engine/codecs/container_chunks.h"

#include <cstring>

namespace {

constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr size_t kRiffHeader = 12;  // "RIFF", size, "WEBP"

uint32_t BigEndian32(const uint8_t* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

uint32_t LittleEndian32(const uint8_t* p) {
  return uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
}

}  // namespace

bool IsPngFile(const uint8_t* data, size_t size) {
  return size >= sizeof kPngSignature && std::memcmp(data, kPngSignature, sizeof kPngSignature) == 0;
}

bool IsWebpFile(const uint8_t* data, size_t size) {
  return size >= kRiffHeader && std::memcmp(data, "RIFF", 4) == 0 && std::memcmp(data + 8, "WEBP", 4) == 0;
}

bool IsTiffFile(const uint8_t* data, size_t size) {
  return size >= 4 && (std::memcmp(data, "II*\0", 4) == 0 || std::memcmp(data, "MM\0*", 4) == 0);
}

// Chunks: length (big-endian), type, body, CRC. Some writers put eXIf after the image
// data, so the walk goes on to the end.
ByteSpan FindPngChunk(const uint8_t* data, size_t size, const char type[4]) {
  if (!IsPngFile(data, size)) return ByteSpan();
  size_t at = sizeof kPngSignature;
  while (size - at >= 12) {
    size_t length = BigEndian32(data + at);
    const uint8_t* name = data + at + 4;
    if (length > size - at - 12) return ByteSpan();
    if (std::memcmp(name, type, 4) == 0) return ByteSpan{data + at + 8, length};
    at += 12 + length;
  }
  return ByteSpan();
}

// Chunks: type, length (little-endian), body padded to an even length.
ByteSpan FindWebpChunk(const uint8_t* data, size_t size, const char type[4]) {
  if (!IsWebpFile(data, size)) return ByteSpan();
  size_t at = kRiffHeader;
  while (size - at >= 8) {
    size_t length = LittleEndian32(data + at + 4);
    if (length > size - at - 8) return ByteSpan();
    if (std::memcmp(data + at, type, 4) == 0) return ByteSpan{data + at + 8, length};
    at += 8 + length + (length & 1);
    if (at > size) return ByteSpan();
  }
  return ByteSpan();
}
