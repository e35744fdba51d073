// The EXIF of a HEIF item or a JPEG XL box starts with the offset of its TIFF header,
// which the file may set to anything: the span found stays inside the block, and what the
// decoders then hand the mender is mended or left alone.
#include <cstdlib>
#include <vector>

#include "engine/codecs/exif_orientation.h"
#include "engine/codecs/picture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ByteSpan tiff = ExifItemTiff(data, size);
  if (!tiff) return 0;
  if (tiff.data < data + 4 || tiff.data + tiff.size != data + size || tiff.size < 8) std::abort();
  std::vector<uint8_t> block(tiff.data, tiff.data + tiff.size);
  if (MendExifOrientation(&block) == ExifOrientation::Mended &&
      ReadExifOrientation(block.data(), block.size()) != 1)
    std::abort();
  return 0;
}
