// JPEG XL read and written through libjxl: a bare codestream or the container, detected
// from the bytes. The encoder runs on one thread: the machine's cores are shared out by
// converting several files at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/codecs/picture.h"

bool HaveJxlCodec();
bool IsJxlFile(const uint8_t* data, size_t size);

// The size after the picture's own orientation, from the header alone.
bool ReadJxlFacts(const uint8_t* data, size_t size, PictureFacts* facts);

// The first frame (an animation gives its first), turned upright by its orientation,
// 8 bits a sample, straight alpha, the colour profile as an ICC profile (none for plain
// sRGB), EXIF (Orientation rewritten to 1) and XMP. High dynamic range is refused.
DecodedPicture DecodeJxl(const uint8_t* data, size_t size);

// The distance the reference encoder takes for a quality: 90 gives 1, 100 lossless (0),
// and below 30 the distance grows fast.
double JxlDistanceForQuality(int quality);

// Encodes 24- or 32-bit rows with JPEG XL's flag word: quality 1..100 (0: 90), 0x100
// lossless, effort 1..9 in bits 12..15 (0: 7).
bool EncodeJxl(const PixelRows& pixels, bool alpha, int32_t flags, const PictureMetadata& metadata,
               std::vector<uint8_t>* out);

// A JPEG kept with its own coefficients: about a fifth smaller, and the JPEG can be
// rebuilt from it bit for bit. False when libjxl cannot take this JPEG (CMYK, say).
bool TranscodeJpegToJxl(const uint8_t* jpeg, size_t size, int32_t flags, std::vector<uint8_t>* out);
