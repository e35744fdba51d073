// How large a picture a conversion takes on. A header may claim any size: a 320-byte
// file that declares 262192 x 16417 pixels once drove one conversion past 12 GB. The
// header is read first, and a picture beyond these bounds is refused before a pixel is
// decoded.
#pragma once

#include <cstdint>

#include "base/text.h"
#include "engine/codecs/image.h"
#include "engine/codecs/decode.h"
#include "engine/pipeline/pipeline.h"
#include "settings/formats.h"

// The largest camera sensors give 150 to 200 megapixels.
constexpr uint64_t kMaxPicturePixels = 200'000'000;
// What the images of one conversion may hold at once (decoded, adapted, resized).
constexpr uint64_t kMaxConversionBytes = uint64_t{4} << 30;

// Bytes the images of one conversion hold at their peak, estimated from the header and
// the planned size; the pool of parallel conversions budgets with it too.
uint64_t EstimateConversionBytes(const PictureHeader& header, const ResizePlan& resize);

// 0 when the picture and its planned result fit; kErrorTooLarge with the sizes in
// *detail when not. An unknown header passes: its reader is bounded by the worker's
// memory cap and time limit instead.
int32_t CheckPictureBudget(const PictureHeader& header, const ResizePlan& resize, Text* detail);

// 0 when the picture to be written fits the target format's longest side;
// kErrorTooLarge with the limit in *detail when not (a 1 × 65537 picture is no JPEG).
int32_t CheckTargetSides(uint32_t width, uint32_t height, const OutputFormat& format, Text* detail);
