// WEBP written through libwebp itself, at libwebp's default effort: FreeImage's writer
// always asks for the slowest method, which took a minute for a photo that libwebp's
// default encodes in two seconds at nearly the same size and quality.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/codecs/picture.h"

// Whether this build carries libwebp; without it WEBP goes through FreeImage's writer.
bool HaveWebpEncoder();

// Encodes 24-bit or 32-bit rows (alpha: the fourth byte is transparency) with the
// save-flag word of WEBP: quality in bits 0..6, 0x100 lossless. False when libwebp
// refuses the picture (too large, out of memory).
bool EncodeWebp(const PixelRows& pixels, bool alpha, int32_t flags, const PictureMetadata& metadata,
                std::vector<uint8_t>* out);
