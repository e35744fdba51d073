// A GIF's pictures are frames placed on a "logical screen"; FreeImage's reader gives the
// first frame alone, at its own size, which for a frame smaller than the screen is
// another picture than every viewer shows.
#pragma once

#include <cstddef>
#include <cstdint>

struct GifPlacement {
  uint32_t screenWidth = 0, screenHeight = 0;
  uint32_t left = 0, top = 0, width = 0, height = 0;  // the first frame on it
  // The canvas the first frame is shown on: the screen, grown where a frame reaches past
  // it (pixels a viewer might cut off are kept).
  uint32_t CanvasWidth() const;
  uint32_t CanvasHeight() const;
  // The frame is the whole picture: it fills the screen from its top left.
  bool FrameIsPicture() const;
};

// False for a file that is not a GIF or ends before its first frame's descriptor.
bool ReadGifPlacement(const uint8_t* data, size_t size, GifPlacement* placement);
