// The EXIF Orientation tag inside a raw EXIF block, as a JPEG's APP1 segment holds it.
#pragma once

#include <cstdint>
#include <vector>

// Sets the Orientation tag (0x0112) of the first image directory to 1, "upright", and
// unlinks the thumbnail directory that follows it, in a block that starts with
// "Exif\0\0" and a TIFF header of either byte order. True when the tag was found and
// changed; a block too short or malformed is left as it was.
bool MarkExifUpright(std::vector<uint8_t>* block);
