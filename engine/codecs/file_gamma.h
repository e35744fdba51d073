// A PNG may declare the gamma its samples were encoded with (gAMA). FreeImage's reader
// raised the samples for a 2.2 display and dropped the chunk, so PNG to PNG was not
// lossless (14-35 dB from the stored samples) and a transparent grey stopped matching
// its samples. Pictures are now decoded as stored, with the gamma kept beside them:
// a PNG result carries the chunk on, a result in a format without one (JPG, WEBP,
// AVIF, JPEG XL, GIF) gets the correction the reader made, so it looks as it always did.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/codecs/image.h"

// The gamma the decoded picture's file declared, in units of 1/100000 as gAMA holds it;
// 0 when it declared none.
uint32_t FileGamma(const Image& image);

// Raises the samples of an ordinary bitmap as FreeImage's PNG reader did for a 2.2
// display (not at all when the gamma is within 5 % of that display's, as libpng leaves
// it). False when the image could not be changed.
bool ApplyFileGamma(Image* image, uint32_t gamma);

// Puts a gAMA chunk of the gamma after the IHDR of a PNG (one the writer made: no gAMA
// of its own).
void AddPngGamma(std::vector<uint8_t>* png, uint32_t gamma);
