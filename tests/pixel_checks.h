// Expected colours of single pixels of a decoded or converted picture.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>

#include "engine/codecs/image.h"

struct Colour {
  int red, green, blue, alpha;
};
constexpr Colour kRed{255, 0, 0, 255}, kGreen{0, 255, 0, 255}, kBlue{0, 0, 255, 255}, kWhite{255, 255, 255, 255};
constexpr Colour kGrey{127, 127, 127, 255};

inline void ExpectPixel(const Image& image, uint32_t x, uint32_t y, Colour want, int tolerance = 0) {
  PaletteEntry got = PixelAt(image, x, y);
  auto near = [&](int a, int b) { return std::abs(a - b) <= tolerance; };
  EXPECT_TRUE(near(got.red, want.red) && near(got.green, want.green) && near(got.blue, want.blue) &&
              near(got.alpha, want.alpha))
      << "pixel " << x << "," << y << ": " << int(got.red) << "," << int(got.green) << "," << int(got.blue) << ","
      << int(got.alpha) << " instead of " << want.red << "," << want.green << "," << want.blue << "," << want.alpha;
}
