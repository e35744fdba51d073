// HEIF and AVIF pictures read through libheif, and AVIF written through it
// (engine/codecs/avif_encoder.h). Detected from the bytes (the file-type box), never the name.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/codecs/picture.h"

// Whether this build reads HEIF and AVIF at all.
bool HaveHeifDecoder();
// An ISO base media file of a HEIF brand (AVIF among them).
bool IsHeifFile(const uint8_t* data, size_t size);
// One whose main brand is AVIF's.
bool IsAvifFile(const uint8_t* data, size_t size);

// The primary image's size as it will be decoded (turned and cropped), from the boxes
// alone; false when they cannot be read.
bool ReadHeifFacts(const uint8_t* data, size_t size, PictureFacts* facts);

// The primary image whole: a grid put together, the container's turns and crop applied,
// 10- and 12-bit samples rounded to 8, premultiplied alpha made straight, the colour
// profile as an ICC profile, EXIF (its Orientation rewritten to 1) and XMP. A picture of
// high dynamic range is refused with kErrorHdr.
DecodedPicture DecodeHeif(const uint8_t* data, size_t size);
