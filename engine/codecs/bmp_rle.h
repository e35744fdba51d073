// Run-length encoded BMPs (RLE8, RLE4). FreeImage's reader refuses a file that ends its
// last row with an end-of-line before the end-of-bitmap, as ImageMagick writes them, and
// knows them under the 40-byte header only. They are unpacked here into a plain 8-bit
// BMP with the same colour table; pixels the runs skip take its first colour, as
// FreeImage gives them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

enum class BmpRle {
  NotRle,    // another kind of file: nothing done
  Unpacked,  // *out holds the plain BMP
  Cut,       // the runs end before the end-of-bitmap and before the last row
  Damaged,   // a run past its row's stored width, or past the picture
  TooLarge,  // over 2^28 pixels
};

BmpRle UnpackBmpRle(const uint8_t* data, size_t size, std::vector<uint8_t>* out);
