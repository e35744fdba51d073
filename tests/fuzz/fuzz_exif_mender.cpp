// The EXIF mender works on blocks straight from files: it never reads or writes outside
// the block, changes nothing it cannot walk, and what it mends reads upright after.
#include <cstdlib>
#include <vector>

#include "engine/codecs/exif_orientation.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The mender is handed what follows "Exif\0\0"; most inputs should get past it.
  std::vector<uint8_t> block = {'E', 'x', 'i', 'f', 0, 0};
  if (size > 0 && data[0] == 'E') block.clear();
  block.insert(block.end(), data, data + size);
  std::vector<uint8_t> before = block;
  ExifOrientation state = MendExifOrientation(&block);
  if (block.size() != before.size()) std::abort();
  if (state != ExifOrientation::Mended && block != before) std::abort();
  if (state == ExifOrientation::Mended && MendExifOrientation(&block) != ExifOrientation::Upright) std::abort();
  return 0;
}
