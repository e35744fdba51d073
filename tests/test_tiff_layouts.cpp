// TIFF sample layouts FreeImage's reader refuses (2-15-bit samples, CMYK, planar tiles)
// or misreads (CIELab, LogLuv, half floats), read through libtiff: each decodes to the
// picture it holds, with the corners drawn by ImageMagick (red, green, blue, white on
// grey), or fails with the reason that is true.
#include <tiffio.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <string>

#include "engine/codecs/colour_transform.h"
#include "engine/codecs/decode.h"
#include "engine/codecs/pixel_forms.h"
#include "tests/picture_bytes.h"
#include "tests/pixel_checks.h"

namespace {

Image Decoded(const Bytes& bytes, int32_t* error, Text* detail = nullptr) {
  *error = 0;
  return LoadImageFromBuffer(bytes.data(), static_cast<uint32_t>(bytes.size()), error, 0, detail);
}

// The grey between the corners is ImageMagick's 50 %: 128, or what 4 bits hold of it.
void ExpectCorners(const Image& image, int tolerance, int grey) {
  uint32_t right = ImageWidth(image) - 1, bottom = ImageHeight(image) - 1;
  ExpectPixel(image, 0, 0, kRed, tolerance);
  ExpectPixel(image, right, 0, kGreen, tolerance);
  ExpectPixel(image, 0, bottom, kBlue, tolerance);
  ExpectPixel(image, right, bottom, kWhite, tolerance);
  ExpectPixel(image, right / 2, bottom / 2, {grey, grey, grey, 255}, tolerance + 1);
}

TEST(TiffLayouts, EveryDepthPlaneAndColourSpaceGivesTheCorners) {
  const struct {
    const char* file;
    int tolerance;  // Lab of 8 bits holds colour to a step or two
    int grey;
  } cases[] = {
      {"tiff-12bit-rgb.tif", 0, 128}, {"tiff-4bit-rgb.tif", 0, 119}, {"tiff-tiled-planar.tif", 0, 128},
      {"tiff-cmyk-8.tif", 0, 128},    {"tiff-cmyk-16.tif", 0, 128},  {"tiff-lab-8.tif", 3, 128},
      {"tiff-lab-16.tif", 1, 128},    {"tiff-half.tif", 0, 128},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    int32_t error = 0;
    Image image = Decoded(CorpusFile(c.file), &error);
    ASSERT_TRUE(image) << error;
    EXPECT_EQ(ImageWidth(image) * 4, ImageHeight(image) * 6);
    ExpectCorners(image, c.tolerance, c.grey);
  }
}

TEST(TiffLayouts, GreyAndAlphaStayWhatTheyAre) {
  int32_t error = 0;
  Image grey = Decoded(CorpusFile("tiff-12bit-grey.tif"), &error);
  ASSERT_TRUE(grey) << error;
  EXPECT_TRUE(IsGreyscale(grey));
  // ImageMagick's grey of pure red, green and blue (Rec. 709 luma) and white.
  ExpectPixel(grey, 0, 0, {54, 54, 54, 255}, 1);
  ExpectPixel(grey, 5, 3, kWhite);

  Image cmyka = Decoded(CorpusFile("tiff-cmyk-alpha.tif"), &error);
  ASSERT_TRUE(cmyka) << error;
  ExpectPixel(cmyka, 0, 0, kRed);
  ExpectPixel(cmyka, 2, 1, {128, 128, 128, 128}, 1);
  ExpectPixel(cmyka, 3, 1, {128, 128, 128, 255}, 1);
}

double Psnr(const Image& a, const Image& b) {
  double sum = 0;
  uint32_t n = 0;
  for (uint32_t y = 0; y < ImageHeight(a); ++y)
    for (uint32_t x = 0; x < ImageWidth(a); ++x, n += 3) {
      PaletteEntry p = PixelAt(a, x, y), q = PixelAt(b, x, y);
      sum += std::pow(p.red - q.red, 2) + std::pow(p.green - q.green, 2) + std::pow(p.blue - q.blue, 2);
    }
  return sum == 0 ? 99 : 10 * std::log10(255.0 * 255.0 * n / sum);
}

// CMYK through its own profile comes out as ImageMagick shows it through that profile, and
// carries sRGB's profile, never the CMYK one; without a profile, the plain formula.
TEST(TiffLayouts, CmykFollowsItsProfile) {
  const struct {
    const char* file;
    const char* shown;
  } cases[] = {{"tiff-cmyk-profile.tif", "cmyk-profile-shown.png"},
               {"jpeg-cmyk-profile.jpg", "jpeg-cmyk-profile-shown.png"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    int32_t error = 0;
    Image image = Decoded(CorpusFile(c.file), &error);
    Image shown = Decoded(CorpusFile(c.shown), &error);
    ASSERT_TRUE(image && shown);
    ASSERT_EQ(ImageWidth(image), ImageWidth(shown));
    // Saturated corners lie outside the CMYK gamut: an 8-bit transform and ImageMagick's
    // 16-bit one round them a step apart.
    EXPECT_GE(Psnr(image, shown), 36.0);
    std::vector<uint8_t> profile = ImageProfile(image);
    EXPECT_EQ(SpaceOfProfile(ByteSpan{profile.data(), profile.size()}), ProfileSpace::Rgb);
  }
}

// A TIFF written here by libtiff itself: LogLuv (CIE XYZ as floats), which ImageMagick
// cannot write, and layouts made to fail.
Bytes WrittenByLibtiff(const std::function<void(TIFF*)>& write) {
  std::string name = testing::TempDir() + "tessaly-layout.tif";
  if (TIFF* tiff = TIFFOpen(name.c_str(), "w")) {
    write(tiff);
    TIFFClose(tiff);
  }
  Bytes bytes = ReadWholeFile(name);
  std::remove(name.c_str());
  return bytes;
}

void Header(TIFF* tiff, uint32_t width, uint32_t height, uint16_t bits, uint16_t samples, uint16_t photometric) {
  TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, width);
  TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, height);
  TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, bits);
  TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, samples);
  TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, photometric);
  TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, height);
}

TEST(TiffLayouts, LogLuvIsLightNotRawFloats) {
  // sRGB's white, its 128 grey (linear 0.2159) and red and blue primaries in XYZ (D65,
  // white Y = 1). LogLuv keeps chromaticity to about 1/400, so the primaries, on the
  // gamut's edge, come back a few steps inside it.
  const float xyz[4][3] = {{0.9505f, 1.0f, 1.089f}, {0.2052f, 0.2159f, 0.2351f},
                           {0.4124f, 0.2126f, 0.0193f}, {0.1805f, 0.0722f, 0.9505f}};
  Bytes file = WrittenByLibtiff([&](TIFF* tiff) {
    Header(tiff, 4, 1, 32, 3, PHOTOMETRIC_LOGLUV);
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_SGILOG);
    TIFFSetField(tiff, TIFFTAG_SAMPLEFORMAT, SAMPLEFORMAT_IEEEFP);
    TIFFSetField(tiff, TIFFTAG_SGILOGDATAFMT, SGILOGDATAFMT_FLOAT);
    TIFFWriteScanline(tiff, const_cast<float*>(&xyz[0][0]), 0, 0);
  });
  ASSERT_FALSE(file.empty());
  int32_t error = 0;
  Image image = Decoded(file, &error);
  ASSERT_TRUE(image) << error;
  ExpectPixel(image, 0, 0, kWhite, 2);
  ExpectPixel(image, 1, 0, {128, 128, 128, 255}, 2);
  ExpectPixel(image, 2, 0, kRed, 12);
  ExpectPixel(image, 3, 0, kBlue, 12);
}

TEST(TiffLayouts, CutOrImpossibleFilesAreNamed) {
  Bytes twelve = CorpusFile("tiff-12bit-rgb.tif");
  int32_t error = 0;
  // Its strips end early: LZW data cut in half.
  Bytes cut = twelve;
  cut.resize(cut.size() * 2 / 3);
  Image none = Decoded(cut, &error);
  EXPECT_FALSE(none);
  EXPECT_TRUE(error == kErrorTruncated || error == kErrorDamaged) << error;

  // Inks other than CMYK, and Lab of 4 bits, have no reading.
  Bytes inks = WrittenByLibtiff([](TIFF* tiff) {
    Header(tiff, 2, 1, 8, 4, PHOTOMETRIC_SEPARATED);
    TIFFSetField(tiff, TIFFTAG_INKSET, INKSET_MULTIINK);
    uint8_t row[8] = {};
    TIFFWriteScanline(tiff, row, 0, 0);
  });
  Text detail;
  EXPECT_FALSE(Decoded(inks, &error, &detail));
  EXPECT_EQ(error, kErrorNotReadable);
  Bytes lab = WrittenByLibtiff([](TIFF* tiff) {
    Header(tiff, 2, 1, 4, 3, PHOTOMETRIC_CIELAB);
    uint8_t row[3] = {};
    TIFFWriteScanline(tiff, row, 0, 0);
  });
  EXPECT_FALSE(Decoded(lab, &error));
  EXPECT_EQ(error, kErrorNotReadable);

  // 1-bit planes in tiles, which FreeImage refuses.
  Bytes tiles = WrittenByLibtiff([](TIFF* tiff) {
    Header(tiff, 16, 16, 1, 3, PHOTOMETRIC_RGB);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_SEPARATE);
    TIFFSetField(tiff, TIFFTAG_TILEWIDTH, 16);
    TIFFSetField(tiff, TIFFTAG_TILELENGTH, 16);
    std::vector<uint8_t> tile(TIFFTileSize(tiff), 0xFF);
    for (uint16_t plane = 0; plane < 3; ++plane) TIFFWriteTile(tiff, tile.data(), 0, 0, 0, plane);
  });
  Image white = Decoded(tiles, &error);
  ASSERT_TRUE(white) << error;
  ExpectPixel(white, 15, 15, kWhite);
}

}  // namespace
