// Floating-point TIFFs hold samples on 0..1, as their writers (and the readers of other
// programs) take them. FreeImage hands them over as float images, which the pipeline
// could only tone-map as high-range pictures: washed out, the alpha lost. A TIFF's
// float picture is taken to 8 bits here, each sample clamped to 0..1 and scaled.
#pragma once

#include "engine/codecs/freeimage_bridge.h"

// An 8-bit grey, 24-bit or 32-bit (with alpha) copy of a float grey, RGB or RGBA
// image, with what describes it; the image itself for other kinds; null when the copy
// cannot be made. Consumes dib when it makes a copy.
FIBITMAP* FloatsAsBytes(FIBITMAP* dib);
