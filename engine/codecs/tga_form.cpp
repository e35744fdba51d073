#include "engine/codecs/tga_form.h"

#include <algorithm>
#include <cstring>

#include "engine/codecs/little_endian.h"

namespace {

using le::Read16;

constexpr size_t kHeader = 18;
constexpr uint8_t kMapped = 1, kGrey = 3, kRle = 8;  // image types; kRle is added to a type

struct Facts {
  uint32_t type, width, height, pixelBytes, mapFirst, mapLength, mapBits, descriptor;
  size_t mapAt, pixelsAt;
};

Facts FactsOf(const uint8_t* data) {
  Facts f;
  f.type = data[2];
  f.mapFirst = Read16(data + 3), f.mapLength = Read16(data + 5), f.mapBits = data[7];
  f.width = Read16(data + 12), f.height = Read16(data + 14);
  f.pixelBytes = (data[16] + 7u) / 8;
  f.descriptor = data[17];
  f.mapAt = kHeader + data[0];
  f.pixelsAt = f.mapAt + (data[1] == 1 ? size_t{f.mapLength} * ((f.mapBits + 7u) / 8) : 0);
  return f;
}

// The pixels as stored, run-length packets undone, and where they end; false when the
// data ends first.
bool StoredPixels(const uint8_t* data, size_t size, const Facts& f, std::vector<uint8_t>* pixels, size_t* end) {
  size_t want = size_t{f.width} * f.height * f.pixelBytes;
  size_t at = f.pixelsAt;
  if (at > size) return false;
  if (!(f.type & kRle)) {
    if (size - at < want) return false;
    pixels->assign(data + at, data + at + want);
    *end = at + want;
    return true;
  }
  pixels->clear();
  // A packet of two bytes may stand for 128 pixels; a claim beyond that is not reserved.
  pixels->reserve(std::min(want, (size - at) * 64 * f.pixelBytes));
  while (pixels->size() < want) {
    if (at >= size) return false;
    uint8_t packet = data[at++];
    size_t count = (packet & 0x7Fu) + 1;
    size_t bytes = (packet & 0x80) ? f.pixelBytes : count * f.pixelBytes;
    if (size - at < bytes) return false;
    for (size_t i = 0; i < count && pixels->size() < want; ++i) {
      const uint8_t* pixel = data + at + ((packet & 0x80) ? 0 : i * f.pixelBytes);
      pixels->insert(pixels->end(), pixel, pixel + f.pixelBytes);
    }
    at += bytes;
  }
  *end = at;
  return true;
}

// Files FreeImage does not know as TGA have no signature to go by: the pixels must end
// the file, or the TGA 2.0 footer must.
bool EndsAsTga(const uint8_t* data, size_t size, size_t end) {
  static const char kFooter[] = "TRUEVISION-XFILE.";
  return end == size || (size >= 18 && std::memcmp(data + size - 18, kFooter, 18) == 0);
}

uint8_t FiveBits(uint32_t v) {
  return static_cast<uint8_t>(((v & 31) * 255 + 15) / 31);
}

// A colour-map entry as blue, green, red, alpha.
void MapEntry(const uint8_t* entry, uint32_t bits, uint8_t bgra[4]) {
  if (bits == 15 || bits == 16) {
    uint32_t v = Read16(entry);
    bgra[0] = FiveBits(v), bgra[1] = FiveBits(v >> 5), bgra[2] = FiveBits(v >> 10), bgra[3] = 255;
    return;
  }
  bgra[0] = entry[0], bgra[1] = entry[1], bgra[2] = entry[2];
  bgra[3] = bits == 32 ? entry[3] : 255;
}

bool NeedsUnpacking(const uint8_t* data, const Facts& f) {
  uint32_t base = f.type & ~uint32_t{kRle};
  if (base == kGrey) return f.pixelBytes == 2;
  bool mapped = base == kMapped && data[1] == 1 && (f.pixelBytes == 1 || f.pixelBytes == 2);
  bool knownEntries = f.mapBits == 15 || f.mapBits == 16 || f.mapBits == 24 || f.mapBits == 32;
  return mapped && knownEntries && (f.mapBits <= 16 || f.mapFirst != 0);
}

}  // namespace

TgaUnpack UnpackTga(const uint8_t* data, size_t size, bool knownAsTga, std::vector<uint8_t>* out) {
  if (size < kHeader) return TgaUnpack::AsIs;
  Facts f = FactsOf(data);
  if (!NeedsUnpacking(data, f) || f.width == 0 || f.height == 0) return TgaUnpack::AsIs;
  std::vector<uint8_t> stored;
  size_t end = 0;
  bool whole = f.pixelsAt <= size && StoredPixels(data, size, f, &stored, &end);
  if (!knownAsTga && (!whole || !EndsAsTga(data, size, end))) return TgaUnpack::AsIs;
  if (!whole) return TgaUnpack::Cut;
  bool grey = (f.type & ~uint32_t{kRle}) == kGrey;
  bool alpha = grey || f.mapBits == 32;
  uint32_t outBytes = alpha ? 4 : 3;
  std::vector<uint8_t> plain(kHeader, 0);
  plain[2] = 2;  // uncompressed true colour
  std::memcpy(plain.data() + 8, data + 8, 8);  // origin, width, height
  plain[16] = static_cast<uint8_t>(outBytes * 8);
  plain[17] = static_cast<uint8_t>((f.descriptor & 0x30) | (alpha ? 8 : 0));
  plain.reserve(kHeader + size_t{f.width} * f.height * outBytes);
  uint8_t bgra[4];
  for (size_t i = 0; i < stored.size(); i += f.pixelBytes) {
    if (grey) {
      bgra[0] = bgra[1] = bgra[2] = stored[i], bgra[3] = stored[i + 1];
    } else {
      uint32_t index = f.pixelBytes == 2 ? Read16(&stored[i]) : stored[i];
      if (index < f.mapFirst || index - f.mapFirst >= f.mapLength) return TgaUnpack::Damaged;
      MapEntry(data + f.mapAt + size_t{index - f.mapFirst} * ((f.mapBits + 7) / 8), f.mapBits, bgra);
    }
    plain.insert(plain.end(), bgra, bgra + outBytes);
  }
  *out = std::move(plain);
  return TgaUnpack::Unpacked;
}
