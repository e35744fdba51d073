// A view of an ordinary bitmap's pixels as FreeImage keeps them on the little-endian
// machines this program runs on: rows of `pitch` bytes, the bottom row first, colour
// bytes in blue, green, red (, alpha) order. The bridge hands these views out, so pixel
// work can live in files that never see FreeImage's headers.
#pragma once

#include <cstddef>
#include <cstdint>

struct PixelRows {
  uint8_t* bits = nullptr;
  size_t pitch = 0;
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t bpp = 0;
  uint8_t* Row(uint32_t y) const { return bits + y * pitch; }
};

struct PaletteEntry {
  uint8_t blue = 0, green = 0, red = 0, alpha = 255;
};
