// XMP may name a turn too (tiff:Orientation), which some viewers honour. The pictures
// this program writes are as other readers decode them: turned by EXIF where it names a
// turn, never by XMP; a kept XMP packet must then say "upright", or such a viewer turns
// the result once more.
#pragma once

#include <string>

// Sets every tiff:Orientation of the packet, as an attribute or an element, to 1.
// True when anything changed.
bool MendXmpOrientation(std::string* packet);
