// 8-bit RGB described by a matrix-shaper profile (three curves and a 3 x 3 matrix: Adobe
// RGB, ProPhoto, Display P3, most cameras') taken into sRGB by tables. lcms2's optimised
// 8-bit transform spends about 9 ns a pixel; this less than half of it, which "Convert to
// sRGB" saves on every photo. It gives what lcms2 gives, to a level.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

class MatrixShaper {
 public:
  // From an open lcms2 profile (a cmsHPROFILE); null when the profile is not a plain
  // RGB matrix-shaper one, or its curves do not start at black (black-point
  // compensation would then move them).
  static std::unique_ptr<MatrixShaper> FromProfile(void* profile);

  // Pixels of 3 (blue, green, red) or 4 bytes (the fourth copied), in place or not.
  void Apply(const uint8_t* in, uint8_t* out, size_t count, int bytesPerPixel) const;

 private:
  static constexpr int kOutSteps = 16384;  // linear light in steps fine enough for sRGB's toe
  float linear_[3][256];
  float matrix_[3][3];
  uint8_t encoded_[kOutSteps + 1];
};
