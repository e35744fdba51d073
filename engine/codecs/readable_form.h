// Files FreeImage's readers refuse or misread although their pictures are plain, given
// to them in the form they read: BMPs with other headers or bit-field masks, bitmaps
// without their file header (DIB, as the clipboard and resources hold them), and cursors,
// which are icons with a hot spot.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// True when *out holds the file in a readable form; false when the file is fine as it
// is, or cannot be mended: then *errorCode says why (13, 19) or stays 0. For a header
// read alone, the pixels are not unpacked (the size and depth come out the same).
enum class FormFor { Pixels, HeaderOnly };
bool InReadableForm(const uint8_t* data, size_t size, FormFor use, std::vector<uint8_t>* out, int32_t* errorCode);
