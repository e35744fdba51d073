// A decoded picture brought to the form a target takes.
#pragma once

#include <cstdint>

#include "engine/codecs/image.h"

// Each returns a new image or an empty one when FreeImage gives none.
// Transparency is laid on the background (0xRRGGBB; white unless the user chose another)
// before it is dropped.
constexpr uint32_t kWhiteBackground = 0xFFFFFF;
Image ConvertTo24Bits(const Image& image, uint32_t background = kWhiteBackground);
// The colour profile stays (FreeImage's conversion drops it).
Image ConvertTo32Bits(const Image& image);
// At most 256 colours (GIF, "PNG Color 256"). A palette image is kept as it is (empty
// result); a picture of at most 256 colours gets exactly those, transparency included;
// others are quantised (Wu), a transparent picture keeping one clear entry for what is
// mostly clear and the rest laid on the background.
Image ReduceToPalette(const Image& image, uint32_t background = kWhiteBackground);
// The pixels (or palette) of an 8-bit-per-channel picture taken from the space of its RGB
// or grey profile into sRGB, the profile dropped; a picture without one is left as it is.
// False when the profile cannot be followed (damaged, or of another colour space).
bool ConvertToSrgb(Image* image);
// 16-bit, float and other high-range images brought to 8 bits per channel; 16-bit grey
// linearly (value / 256), never stretched.
Image ConvertToStandardBitmap(const Image& image);
Image RescaleLanczos3(const Image& image, int32_t width, int32_t height);
