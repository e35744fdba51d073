// Encoding a picture into memory.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/codecs/image.h"

// Removes every metadata tag and the colour profile; true when there was any. For a
// writer that fails on what the source carried.
bool DropMetadata(const Image& image);

// Writes the IPTC key "Software"; false when FreeImage refused it.
bool SetSoftwareTag(const Image& image, const char* value);

// Whether the encoder of formatId declares that it can take this image as it is.
bool CanEncode(int32_t formatId, const Image& image);
// Whether FreeImage has a writer for the format at all (read-only formats have none).
bool CanWriteFormat(int32_t formatId);
// Encodes into memory with the given save flags; false when the encoder fails. WEBP
// goes through libwebp where the build has it (engine/codecs/webp_encoder.h).
bool EncodeImage(const Image& image, int32_t formatId, int32_t flags, std::vector<uint8_t>* out);
