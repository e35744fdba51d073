// Colours moved from the space a picture's ICC profile describes into sRGB, through
// lcms2: CMYK pictures always (a CMYK profile cannot ride on RGB pixels), RGB and grey
// ones when the user asks for sRGB. Transforms are costly to build (a CMYK profile's
// tables) and cheap to run, so they are kept per profile for the life of the process.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/codecs/container_chunks.h"

// How the pixels handed to a transform lie in memory. Alpha, where there is one, is
// copied through untouched.
enum class PixelLayout { Bgr8, Bgra8, Grey8, Rgb16, Rgba16, Grey16, Cmyk8, Cmyk16 };

// The colour space an ICC profile declares (bytes 16..19 of its header).
enum class ProfileSpace { None, Rgb, Grey, Cmyk, Other };
ProfileSpace SpaceOfProfile(ByteSpan icc);

class PixelTransform;

// One profile's way into sRGB for one layout; empty when the profile cannot be used
// (damaged, hostile, another colour space than the layout's) or lcms2 is not built in.
class SrgbTransform {
 public:
  SrgbTransform() = default;
  explicit operator bool() const { return core_ != nullptr; }
  // Converts count pixels from in to out (out in the same layout, or Bgr8/Rgb16 for the
  // CMYK ones); in and out may be the same memory for the RGB and grey layouts.
  void Apply(const void* in, void* out, size_t count) const;

 private:
  friend SrgbTransform TransformToSrgb(ByteSpan icc, PixelLayout layout);
  std::shared_ptr<const PixelTransform> core_;
};

// The transform for this profile and layout, built once per process and handed out again
// for the same profile bytes (a run's files mostly share one camera's or printer's).
SrgbTransform TransformToSrgb(ByteSpan icc, PixelLayout layout);

// Drops every kept transform: a worker that goes on to another file keeps nothing built
// from the last one's profile.
void ForgetTransforms();

// How often the cache built a transform and how often it handed one out again.
struct TransformCacheCounts {
  uint64_t built = 0;
  uint64_t reused = 0;
};
TransformCacheCounts TransformCacheCountsNow();

// A small sRGB profile, which a picture turned from CMYK carries; empty without lcms2.
const std::vector<uint8_t>& SrgbProfileBytes();

// CMYK without a profile as every reader turns it: R = (255 - C)(255 - K) / 255, the
// ink of a sample 0 for none, the division truncated. Three bytes (blue, green, red) a pixel.
void NaiveCmykToBgr(const uint8_t* cmyk, uint8_t* bgr, size_t count);
