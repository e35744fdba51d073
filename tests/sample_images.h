// Test pictures drawn in memory: a smooth pattern of every pixel type FreeImage
// decodes, so the conversion can be checked without sample files.
#pragma once

#include <cstdint>

#include "engine/codecs/image.h"

enum class SampleKind {
  Mono1,         // 1 bit, black and white palette
  Palette8,      // 8 bits, colour palette
  Palette8Clear, // 8 bits, colour palette whose first entry is transparent
  Grey8,         // 8 bits, grey ramp
  Rgb24,
  Rgba32,        // with a varying alpha channel
  Grey16,        // 16 bits per pixel, one channel
  Rgb48,         // 16 bits per channel
  Rgba64,
  GreyFloat,     // 32-bit float, one channel
  RgbFloat,      // 32-bit float per channel
};
Image CreateSampleImage(SampleKind kind, uint32_t width, uint32_t height);
