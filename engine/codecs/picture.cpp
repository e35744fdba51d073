#include "engine/codecs/picture.h"

#include <cstring>

ByteSpan TiffOnly(ByteSpan exif) {
  if (exif.size >= 6 && std::memcmp(exif.data, "Exif\0\0", 6) == 0) return ByteSpan{exif.data + 6, exif.size - 6};
  return exif;
}

void Unpremultiply(std::vector<uint8_t>* rgba) {
  for (size_t i = 0; i + 3 < rgba->size(); i += 4) {
    uint32_t alpha = (*rgba)[i + 3];
    if (alpha == 0 || alpha == 255) continue;
    for (int c = 0; c < 3; ++c) {
      uint32_t value = ((*rgba)[i + c] * 255 + alpha / 2) / alpha;
      (*rgba)[i + c] = static_cast<uint8_t>(value > 255 ? 255 : value);
    }
  }
}

std::vector<uint8_t> RowsAsRgb(const PixelRows& rows, bool alpha) {
  const uint32_t channels = alpha ? 4 : 3, step = rows.bpp / 8;
  std::vector<uint8_t> out(size_t{rows.width} * rows.height * channels);
  uint8_t* to = out.data();
  for (uint32_t y = rows.height; y-- > 0;) {
    const uint8_t* from = rows.Row(y);
    for (uint32_t x = 0; x < rows.width; ++x, from += step, to += channels) {
      to[0] = from[2];
      to[1] = from[1];
      to[2] = from[0];
      if (alpha) to[3] = step == 4 ? from[3] : 255;
    }
  }
  return out;
}

ByteSpan ExifItemTiff(const uint8_t* block, size_t size) {
  if (!block || size < 4) return ByteSpan();
  uint64_t offset = uint64_t{block[0]} << 24 | uint64_t{block[1]} << 16 | uint64_t{block[2]} << 8 | block[3];
  if (offset > size - 4 || size - 4 - offset < 8) return ByteSpan();
  return ByteSpan{block + 4 + offset, static_cast<size_t>(size - 4 - offset)};
}
