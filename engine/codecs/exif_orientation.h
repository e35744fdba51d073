// The EXIF Orientation tag inside a raw EXIF block: a JPEG's APP1 segment holds it after
// "Exif\0\0", PNG's eXIf and WebP's EXIF chunks hold the TIFF structure alone (some
// writers keep the prefix there too), and a TIFF file is that structure itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The value of a one-number SHORT tag of the first image directory; -1 when there is
// none or the block is too short or malformed to be trusted.
int ReadFirstDirectoryShort(const uint8_t* block, size_t size, uint16_t tag);

// The Orientation tag (0x0112) of the first image directory, 1..8; 0 when the block has
// none or is too short or malformed to be trusted.
int ReadExifOrientation(const uint8_t* block, size_t size);

enum class ExifOrientation {
  Upright,     // every Orientation tag of the first directory reads 1, or there is none
  Mended,      // each one that did not now reads 1 and the thumbnail is unlinked
  Unmendable,  // the block cannot be walked; it is left as it was
};

// Makes every Orientation tag (0x0112) of the first image directory read 1, "upright",
// in a block of TIFF data of either byte order, with or without the "Exif\0\0" prefix. A
// reader may obey any of them, whatever its type, count or repetition, so each one that
// is not a single SHORT 1 is rewritten as one. The thumbnail directory that follows is
// then unlinked: its small picture is still turned.
ExifOrientation MendExifOrientation(std::vector<uint8_t>* block);
// True when MendExifOrientation changed the block.
bool MarkExifUpright(std::vector<uint8_t>* block);
