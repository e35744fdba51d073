// Pictures of the codecs that do not go through FreeImage, turned into FreeImage's images
// and back: the one place where the two meet.
#pragma once

#include "engine/codecs/image.h"
#include "engine/codecs/picture.h"

// A decoded picture as an image carrying its profile, EXIF and XMP as FreeImage's readers
// leave them; an empty image when the picture holds none (its error says why) or memory
// runs out.
Image ImageFromPicture(const DecodedPicture& picture);
