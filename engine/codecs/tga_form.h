// TGA kinds FreeImage's reader refuses or misreads: grey with alpha (16 bits a pixel),
// refused; colour maps of 15- or 16-bit entries, read as grey; colour maps whose first
// entry is not index 0, shifted. They are unpacked here into a plain true-colour TGA of
// 24 bits, or 32 where the picture has alpha, in the same row order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

enum class TgaUnpack {
  AsIs,      // another kind: nothing done
  Unpacked,  // *out holds the plain TGA
  Cut,       // the pixels end before the picture does
  Damaged,   // an index outside the colour map
};

// knownAsTga: FreeImage took the file for a TGA. Otherwise (its check refuses some of
// these kinds) the bytes are taken for one only when the pixels or the TGA 2.0 footer
// end the file.
TgaUnpack UnpackTga(const uint8_t* data, size_t size, bool knownAsTga, std::vector<uint8_t>* out);
