// AVIF written through libheif and its AV1 encoder (aom).
#pragma once

#include <cstdint>
#include <vector>

#include "engine/codecs/picture.h"

// Whether this build can write AVIF.
bool HaveAvifEncoder();

// Encodes 24- or 32-bit rows (alpha: the fourth byte is transparency) with AVIF's flag
// word: quality 1..100 (0: the default 60), 0x100 lossless (4:4:4, RGB kept as it is by
// the identity matrix), the encoder's speed 0..10 in bits 12..15. The profile, EXIF and
// XMP go with it. False when the encoder refuses the picture.
bool EncodeAvif(const PixelRows& pixels, bool alpha, int32_t flags, const PictureMetadata& metadata,
                std::vector<uint8_t>* out);
