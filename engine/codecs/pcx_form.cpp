#include "engine/codecs/pcx_form.h"

#include <algorithm>

#include "engine/codecs/little_endian.h"

namespace {

using le::Put32;
using le::Read16;

constexpr size_t kHeader = 128;
constexpr uint32_t kPlanes = 4;
constexpr uint64_t kMaxPixels = uint64_t{1} << 28;  // as for run-length BMPs

// The plane bytes of every row, run-length packets undone (a run may go on into the next
// row, as some writers let it); false when the data ends first.
bool PlaneBytes(const uint8_t* data, size_t size, bool runs, size_t want, std::vector<uint8_t>* out) {
  size_t at = kHeader;
  out->clear();
  out->reserve(std::min(want, (size - kHeader) * 63));
  while (out->size() < want) {
    if (at >= size) return false;
    uint8_t b = data[at++];
    size_t count = 1;
    if (runs && (b & 0xC0) == 0xC0) {
      if (at >= size) return false;
      count = b & 0x3Fu;
      b = data[at++];
    }
    out->insert(out->end(), std::min(count, want - out->size()), b);
  }
  return true;
}

// A 32-bit BMP, rows top first (negative height), of width x height BGRA pixels.
std::vector<uint8_t> TopDownBmp(uint32_t width, uint32_t height, const std::vector<uint8_t>& bgra) {
  std::vector<uint8_t> b = {'B', 'M'};
  Put32(&b, static_cast<uint32_t>(54 + bgra.size()));
  Put32(&b, 0);
  Put32(&b, 54);
  Put32(&b, 40), Put32(&b, width), Put32(&b, static_cast<uint32_t>(-static_cast<int64_t>(height)));
  b.insert(b.end(), {1, 0, 32, 0});
  Put32(&b, 0), Put32(&b, static_cast<uint32_t>(bgra.size()));
  for (int i = 0; i < 4; ++i) Put32(&b, 0);
  b.insert(b.end(), bgra.begin(), bgra.end());
  return b;
}

}  // namespace

PcxUnpack UnpackPcx(const uint8_t* data, size_t size, std::vector<uint8_t>* out) {
  if (size < kHeader || data[0] != 0x0A || data[2] > 1 || data[3] != 8 || data[65] != kPlanes) return PcxUnpack::AsIs;
  uint32_t xmin = Read16(data + 4), ymin = Read16(data + 6), xmax = Read16(data + 8), ymax = Read16(data + 10);
  uint32_t perPlane = Read16(data + 66);
  if (xmax < xmin || ymax < ymin) return PcxUnpack::AsIs;
  uint32_t width = xmax - xmin + 1, height = ymax - ymin + 1;
  if (perPlane < width || uint64_t{width} * height > kMaxPixels) return PcxUnpack::AsIs;
  std::vector<uint8_t> planes;
  size_t row = size_t{perPlane} * kPlanes;
  if (!PlaneBytes(data, size, data[2] == 1, row * height, &planes)) return PcxUnpack::Cut;
  std::vector<uint8_t> bgra(size_t{width} * height * 4);
  for (uint32_t y = 0; y < height; ++y) {
    const uint8_t* r = planes.data() + y * row;
    uint8_t* o = bgra.data() + size_t{y} * width * 4;
    for (uint32_t x = 0; x < width; ++x, o += 4) {
      o[0] = r[2 * perPlane + x], o[1] = r[perPlane + x], o[2] = r[x], o[3] = r[3 * perPlane + x];
    }
  }
  *out = TopDownBmp(width, height, bgra);
  return PcxUnpack::Unpacked;
}
