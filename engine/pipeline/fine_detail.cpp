#include "engine/pipeline/fine_detail.h"

namespace {

constexpr uint32_t kRowStep = 4;
constexpr int kGreen = 1;  // blue, green, red order

}  // namespace

double FineDetail(const PixelRows& rows) {
  if (rows.bpp != 8 && rows.bpp != 24 && rows.bpp != 32) return 0;
  uint32_t step = rows.bpp / 8, channel = rows.bpp == 8 ? 0 : kGreen;
  double sum = 0, count = 0;
  for (uint32_t y = 0; y + 1 < rows.height; y += kRowStep) {
    const uint8_t* row = rows.Row(y) + channel;
    const uint8_t* next = rows.Row(y + 1) + channel;
    for (uint32_t x = 0; x + 1 < rows.width; ++x) {
      int across = row[(x + 1) * step] - row[x * step], down = next[x * step] - row[x * step];
      sum += across * across + down * down;
      ++count;
    }
  }
  return count > 0 ? sum / count : 0;
}
