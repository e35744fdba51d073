// Decoding from memory: the format is found from the bytes, never the name.
#pragma once

#include <cstdint>

#include "engine/codecs/image.h"

// Error codes of the decoder, as the conversion reports them.
constexpr int32_t kErrorNotReadable = 7;      // recognised, but no reader
constexpr int32_t kErrorUnknownFormat = 8;    // not recognised
constexpr int32_t kErrorBufferUnreadable = 9; // no memory stream
constexpr int32_t kErrorTruncated = 13;       // the data ends before the picture does
constexpr int32_t kErrorTooLarge = 18;        // beyond the pixel or memory budget
constexpr int32_t kErrorDamaged = 19;         // the data is inconsistent: the file is damaged
constexpr int32_t kErrorHdr = 20;             // high dynamic range, which 8 bits cannot show untouched

// Detects the format from the bytes and decodes them. On failure writes 7, 8, 9, 13,
// 18 or 19 into *errorCode, as the reader's messages and the file's bytes tell; a
// recognised file whose reader yields no image and says nothing returns an empty Image
// and leaves *errorCode alone. jpegSizeHint above 0 lets the JPEG reader
// decode at 1/2, 1/4 or 1/8 of the size (engine/pipeline/shrink_on_load.h says which); other
// formats ignore it.
// HEIF, AVIF and JPEG XL are read through their own libraries (their failures may also
// write what the library said into *detail).
Image LoadImageFromBuffer(const uint8_t* data, uint32_t size, int32_t* errorCode, int32_t jpegSizeHint = 0,
                          Text* detail = nullptr);

// What a file's header declares, read without decoding a pixel (FreeImage's
// header-only load), so a picture too large to convert is refused before its pixels
// cost memory or time.
struct PictureHeader {
  bool known = false;  // false: the format's reader cannot load a header alone
  // The program's id of the detected format (FreeImage's for its own), also when the
  // header itself could not be read; -1 when the bytes are of no known format.
  int32_t format = -1;
  uint32_t width = 0;   // as stored, before any EXIF turn
  uint32_t height = 0;
  uint32_t bitsPerPixel = 0;  // of the decoded image, all channels
  // A JPEG whose EXIF turn (5 to 8) the reader applies by a quarter turn: the decoded
  // picture is height x width.
  bool sidesSwapped = false;
  // A JPEG's EXIF Orientation as its reader takes it (1..8), 0 when it names none.
  int orientation = 0;
};
// Reads the header of a recognised, readable format; *header stays unknown when the
// format's reader has no header-only load or the header cannot be read.
void ReadPictureHeader(const uint8_t* data, uint32_t size, PictureHeader* header);
