// A decoded picture brought to the form a target takes.
#pragma once

#include <cstdint>

#include "engine/codecs/image.h"

// Each returns a new image or an empty one when FreeImage gives none.
// Transparency is laid on white before it is dropped.
Image ConvertTo24Bits(const Image& image);
// The colour profile stays (FreeImage's conversion drops it).
Image ConvertTo32Bits(const Image& image);
// At most 256 colours (GIF, "PNG Color 256"). A palette image is kept as it is (empty
// result); a picture of at most 256 colours gets exactly those, transparency included;
// others are quantised (Wu), a transparent picture keeping one clear entry.
Image ReduceToPalette(const Image& image);
// 16-bit, float and other high-range images brought to 8 bits per channel; 16-bit grey
// linearly (value / 256), never stretched.
Image ConvertToStandardBitmap(const Image& image);
Image RescaleLanczos3(const Image& image, int32_t width, int32_t height);
