// PCX files of four 8-bit planes (red, green, blue, alpha), which FreeImage's reader
// refuses ("Parsing error"). They are unpacked here into a top-down 32-bit BMP.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

enum class PcxUnpack {
  AsIs,      // another kind of PCX or file: nothing done
  Unpacked,  // *out holds the BMP
  Cut,       // the runs end before the picture does
};

PcxUnpack UnpackPcx(const uint8_t* data, size_t size, std::vector<uint8_t>* out);
