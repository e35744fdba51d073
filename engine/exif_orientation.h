// The EXIF Orientation tag inside a raw EXIF block, as a JPEG's APP1 segment holds it.
#pragma once

#include <cstdint>
#include <vector>

enum class ExifOrientation {
  Upright,     // every Orientation tag of the first directory reads 1, or there is none
  Mended,      // each one that did not now reads 1 and the thumbnail is unlinked
  Unmendable,  // the block cannot be walked; it is left as it was
};

// Makes every Orientation tag (0x0112) of the first image directory read 1, "upright",
// in a block that starts with "Exif\0\0" and a TIFF header of either byte order. A
// reader may obey any of them, whatever its type, count or repetition, so each one that
// is not a single SHORT 1 is rewritten as one. The thumbnail directory that follows is
// then unlinked: its small picture is still turned.
ExifOrientation MendExifOrientation(std::vector<uint8_t>* block);
// True when MendExifOrientation changed the block.
bool MarkExifUpright(std::vector<uint8_t>* block);
