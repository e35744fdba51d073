// BMPs whose 16- or 32-bit pixels are laid out by bit-field masks (BI_BITFIELDS,
// BI_ALPHABITFIELDS). FreeImage's reader knows two 16-bit layouts and reads any 32-bit
// pixel as BGRA whatever the masks say: X8R8G8B8 files gained an invented alpha,
// A1R5G5B5, A4R4G4B4 or 10-10-10 files came out in wrong colours. The masks are applied
// here and the picture handed on as a plain 24- or 32-bit BMP.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

enum class BmpUnpack {
  NotBitFields,  // another kind of file: nothing done
  Unpacked,      // *out holds the plain BMP
  Cut,           // the pixels end before the picture does
  Damaged,       // masks that overlap or are not one run of bits each
};

// The alpha mask counts for the 56-byte and longer headers and for BI_ALPHABITFIELDS;
// a file without one gives 24 bits a pixel.
BmpUnpack UnpackBmpBitFields(const uint8_t* data, size_t size, std::vector<uint8_t>* out);
