// What describes a decoded picture, mended: the bridge's decoder calls these on what
// FreeImage's readers give.
#pragma once

#include <cstdint>

#include "engine/codecs/freeimage_bridge.h"

// Cameras store the picture as the sensor saw it and name the turn in the EXIF
// Orientation tag; once the picture is upright (turned by FreeImage's JPEG reader, or by
// the decoder: turnedHere), the kept EXIF says so.
void MarkUpright(FIBITMAP* dib, bool turnedHere);

// A kept XMP packet says "upright" as the kept EXIF does (engine/codecs/xmp_orientation.h).
void MarkXmpUpright(FIBITMAP* dib);

// FreeImage's WebP reader keeps an EXIF chunk only when it starts as a JPEG segment does
// ("Exif\0\0"); the format (and most writers, this program among them) leaves that out.
void KeepWebpExif(FIBITMAP* dib, const uint8_t* data, uint32_t size);

// EXIF that ImageMagick's older PNG writer kept as text ("Raw profile type exif") is taken
// for the file's EXIF; returns its turn (0 for none), for the decoder to apply. The text
// goes, or a PNG result would carry the old turn on for the viewers that read it.
int KeepPngTextExif(FIBITMAP* dib);

// FreeImage's PNG reader (as Debian and this program build it) passes over the iCCP
// chunk, so a PNG's colour profile never reached a result and its colours came out dull.
// An RGB profile of a colour PNG is attached here; a grey one is left out, as the
// results of a grey picture may be colour (JPG) and a grey profile would not describe them.
void KeepPngProfile(FIBITMAP* dib, const uint8_t* data, uint32_t size);
