// What a file's own bytes say about its picture where FreeImage's readers pass it over
// or read it wrongly. JPEG turns are left to FreeImage's reader, which applies them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The EXIF turn of a TIFF (its first directory), a PNG (its eXIf chunk) or a WebP (its
// EXIF chunk): 1..8, or 0 when the file names none.
int SourceOrientation(const uint8_t* data, size_t size);

// For a grey PNG of 1, 2 or 4 bits with a transparent grey value (tRNS): that value as
// the 8-bit grey it becomes when the samples are widened to 8 bits (a 1-bit white is
// 255). -1 for every other file.
int PngLowGreyKey(const uint8_t* data, size_t size);

// The gamma a PNG declares (its gAMA chunk, in 1/100000); 0 when none or not a PNG.
uint32_t PngGamma(const uint8_t* data, size_t size);

// Whether a TIFF's first picture stores its colour multiplied by its alpha (its first
// extra sample is "associated alpha").
bool TiffAlphaIsAssociated(const uint8_t* data, size_t size);

// ImageMagick's older PNG writer kept EXIF in a text chunk ("Raw profile type exif"):
// a line with the profile's name, one with its length, then its bytes in hex. The bytes;
// empty when the text is not such a profile or its hex falls short of its length.
std::vector<uint8_t> RawProfileBytes(const char* text, size_t length);
