#include "engine/pipeline/shrink_on_load.h"

#include <algorithm>

namespace {

// libjpeg rounds a scaled side up.
uint32_t ScaledSide(uint32_t side, uint32_t scale) {
  return (side + scale - 1) / scale;
}

}  // namespace

uint32_t JpegReaderScale(uint32_t width, uint32_t height, int32_t sizeHint) {
  if (sizeHint <= 0) return 1;
  double ratio = std::max<double>(width, height) / sizeHint;
  for (uint32_t scale : {8u, 4u, 2u})
    if (ratio >= scale) return scale;
  return 1;
}

ShrinkOnLoad PlanShrinkOnLoad(uint32_t storedWidth, uint32_t storedHeight, bool sidesSwapped,
                              const ResizePlan& resize) {
  ShrinkOnLoad none;
  if (!resize.resize || resize.width <= 0 || resize.height <= 0) return none;
  // The planned size in the stored picture's orientation.
  uint32_t needWidth = static_cast<uint32_t>(sidesSwapped ? resize.height : resize.width);
  uint32_t needHeight = static_cast<uint32_t>(sidesSwapped ? resize.width : resize.height);
  uint32_t longer = std::max(storedWidth, storedHeight);
  for (uint32_t scale : {8u, 4u, 2u}) {
    uint32_t w = ScaledSide(storedWidth, scale), h = ScaledSide(storedHeight, scale);
    if (w < needWidth || h < needHeight) continue;
    // The hint the reader turns back into this very scale; a side too long for the
    // flags' high word cannot be hinted at.
    auto hint = static_cast<int32_t>(longer / scale);
    if (hint <= 0 || hint > 0x7FFF || JpegReaderScale(storedWidth, storedHeight, hint) != scale) continue;
    return ShrinkOnLoad{scale, hint, sidesSwapped ? h : w, sidesSwapped ? w : h};
  }
  return none;
}
