// Encoding a picture into memory.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/codecs/image.h"
#include "settings/formats.h"

// Removes every metadata tag and the colour profile; true when there was any. For a
// writer that fails on what the source carried.
bool DropMetadata(const Image& image);

// Writes the IPTC key "Software"; false when FreeImage refused it.
bool SetSoftwareTag(const Image& image, const char* value);

// Whether the format's encoder declares that it can take this image as it is.
bool CanEncode(const OutputFormat& format, const Image& image);
// Whether the format's writer stores a colour profile with the picture (JPEG, PNG,
// TIFF, WEBP, AVIF, JPEG XL); for the others the pixels are taken into sRGB first, or
// their colours would be read as sRGB's without a word.
bool KeepsColourProfile(const OutputFormat& format);
// Whether there is a writer for the format at all (read-only formats have none).
bool CanWriteFormat(const OutputFormat& format);
// Encodes into memory with the given flag word, through the encoder the format's record
// names; false when the encoder fails. WEBP goes through libwebp where the build has it
// (engine/codecs/webp_encoder.h).
bool EncodeImage(const Image& image, const OutputFormat& format, int32_t flags, std::vector<uint8_t>* out);
// The same for the record of a format id.
bool EncodeImage(const Image& image, int32_t formatId, int32_t flags, std::vector<uint8_t>* out);
