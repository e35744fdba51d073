// A JPEG that the planned resize makes at least twice smaller is decoded smaller: the
// JPEG reader scales by 1/2, 1/4 or 1/8 inside its inverse DCT, which spares most of
// the decoding and nearly all of the resampling. The picture is never decoded below
// the planned size in either dimension, and the rescale after it still makes exactly
// the planned size, which is planned from the full size the header declares. The scaled
// decode is softer than Lanczos at hard edges, so a picture full of them (pages of text,
// line art, sharp texture) is decoded whole after all.
#pragma once

#include <cstdint>

#include "engine/pipeline/pipeline.h"

// A picture decoded smaller with more fine detail than this (engine/pipeline/fine_detail.h) is
// decoded whole instead: its difference from the whole picture could reach 40 dB PSNR.
constexpr double kMaxDetailDecodedSmaller = 80;

struct ShrinkOnLoad {
  uint32_t scale = 1;       // 1 (decode whole), 2, 4 or 8
  int32_t sizeHint = 0;     // what the JPEG reader is handed to choose that scale
  uint32_t width = 0;       // the decoded picture, upright
  uint32_t height = 0;
};

// The largest scale whose picture still covers the planned size. storedWidth and
// storedHeight are the header's; sidesSwapped when the reader turns the picture by a
// quarter (the planned size is upright). scale 1 when nothing is gained.
ShrinkOnLoad PlanShrinkOnLoad(uint32_t storedWidth, uint32_t storedHeight, bool sidesSwapped,
                              const ResizePlan& resize);

// The JPEG reader's rule: the longer side divided by the hint, 8, 4 or 2 at least, else 1.
uint32_t JpegReaderScale(uint32_t width, uint32_t height, int32_t sizeHint);
