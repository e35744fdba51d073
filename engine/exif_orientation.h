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

// Sets the Orientation tag of the first image directory to 1, "upright", and unlinks
// the thumbnail directory that follows it, in a block of either form and byte order.
// True when the tag was found and changed; a block too short or malformed is left as
// it was.
bool MarkExifUpright(std::vector<uint8_t>* block);
