// TIFFs may store colour already multiplied by its alpha ("associated" alpha, ExtraSamples
// 1), as ImageMagick and Photoshop write them; FreeImage hands the samples over as they
// are, so every half-clear pixel came out darker. They are divided back here.
#pragma once

#include "engine/codecs/freeimage_bridge.h"

// Divides the colour of a 32-bit or 64-bit (RGBA16) picture by its alpha, rounded and
// kept within range; pixels with no alpha at all keep theirs. Other images: unchanged.
void UnpremultiplyAlpha(FIBITMAP* dib);
