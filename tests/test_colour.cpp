// Colour through profiles: the transform cache, "Convert to sRGB" for embedded and
// code-point profiles (and none), formats that keep no profile, CMYK without one, and the
// background under transparency.
#include <lcms2.h>

#include <cmath>
#include <cstring>
#include <random>

#include "engine/codecs/colour_profiles.h"
#include "engine/codecs/colour_transform.h"
#include "engine/codecs/matrix_shaper.h"
#include "engine/codecs/pixel_forms.h"
#include "engine/run/convert_errors.h"
#include "tests/conversion_fixture.h"
#include "tests/picture_bytes.h"
#include "tests/pixel_checks.h"

namespace {

Image Decoded(const Bytes& bytes) {
  int32_t error = 0;
  return LoadImageFromBuffer(bytes.data(), static_cast<uint32_t>(bytes.size()), &error);
}

ByteSpan SpanOf(const std::vector<uint8_t>& bytes) {
  return ByteSpan{bytes.data(), bytes.size()};
}

TEST(TransformCache, EachProfileAndLayoutIsBuiltOnceAndAFaultyOneIsNotParsedAgain) {
  std::vector<uint8_t> adobe = ImageProfile(Decoded(CorpusFile("adobe-rgb.png")));
  ASSERT_FALSE(adobe.empty());
  TransformCacheCounts before = TransformCacheCountsNow();
  SrgbTransform first = TransformToSrgb(SpanOf(adobe), PixelLayout::Bgr8);
  std::vector<uint8_t> copy = adobe;  // the same bytes elsewhere: the next file's profile
  SrgbTransform again = TransformToSrgb(SpanOf(copy), PixelLayout::Bgr8);
  SrgbTransform withAlpha = TransformToSrgb(SpanOf(adobe), PixelLayout::Bgra8);
  EXPECT_TRUE(first && again && withAlpha);
  TransformCacheCounts after = TransformCacheCountsNow();
  EXPECT_EQ(after.built - before.built, 2u);
  EXPECT_EQ(after.reused - before.reused, 1u);

  // An RGB header over garbage, and a profile of another space than the pixels'.
  std::vector<uint8_t> damaged(adobe.begin(), adobe.begin() + 200);
  std::memset(damaged.data() + 128, 0xEE, 72);
  EXPECT_FALSE(TransformToSrgb(SpanOf(damaged), PixelLayout::Bgr8));
  EXPECT_FALSE(TransformToSrgb(SpanOf(damaged), PixelLayout::Bgr8));
  EXPECT_FALSE(TransformToSrgb(SpanOf(adobe), PixelLayout::Cmyk8));
  TransformCacheCounts last = TransformCacheCountsNow();
  EXPECT_EQ(last.built - after.built, 2u);
  EXPECT_EQ(last.reused - after.reused, 1u);
}

// The tables of a matrix-shaper profile give what lcms2 gives, to a level, for pure
// power curves (Adobe RGB, ProPhoto-like) and a curve with a linear toe (Display P3).
TEST(MatrixShaper, GivesWhatLcms2GivesToALevel) {
  auto rgbProfile = [](double g, cmsCIExyYTRIPLE primaries) {
    cmsCIExyY d65 = {0.3127, 0.3290, 1.0};
    cmsToneCurve* curve = cmsBuildGamma(nullptr, g);
    cmsToneCurve* curves[3] = {curve, curve, curve};
    cmsHPROFILE profile = cmsCreateRGBProfile(&d65, &primaries, curves);
    cmsFreeToneCurve(curve);
    return profile;
  };
  std::vector<uint8_t> p3 = ProfileForCodePoints(12, 13);
  cmsHPROFILE profiles[3] = {
      rgbProfile(563.0 / 256, {{0.64, 0.33, 1}, {0.21, 0.71, 1}, {0.15, 0.06, 1}}),
      rgbProfile(1.8, {{0.7347, 0.2653, 1}, {0.1596, 0.8404, 1}, {0.0366, 0.0001, 1}}),
      cmsOpenProfileFromMem(p3.data(), static_cast<cmsUInt32Number>(p3.size()))};
  cmsHPROFILE srgb = cmsCreate_sRGBProfile();
  std::mt19937 random(7);
  std::vector<uint8_t> pixels(3 * 100000);
  for (uint8_t& p : pixels) p = static_cast<uint8_t>(random());
  for (int i = 0; i < 256; ++i) pixels[3 * i] = pixels[3 * i + 1] = pixels[3 * i + 2] = static_cast<uint8_t>(i);
  for (cmsHPROFILE profile : profiles) {
    std::unique_ptr<MatrixShaper> shaper = MatrixShaper::FromProfile(profile);
    ASSERT_TRUE(shaper);
    cmsHTRANSFORM lcms = cmsCreateTransform(profile, TYPE_BGR_8, srgb, TYPE_BGR_8, INTENT_RELATIVE_COLORIMETRIC,
                                            cmsFLAGS_BLACKPOINTCOMPENSATION);
    std::vector<uint8_t> ours(pixels.size()), theirs(pixels.size());
    shaper->Apply(pixels.data(), ours.data(), pixels.size() / 3, 3);
    cmsDoTransform(lcms, pixels.data(), theirs.data(), static_cast<cmsUInt32Number>(pixels.size() / 3));
    int worst = 0;
    for (size_t i = 0; i < ours.size(); ++i) worst = std::max(worst, std::abs(int(ours[i]) - int(theirs[i])));
    EXPECT_LE(worst, 1);
    cmsDeleteTransform(lcms);
    cmsCloseProfile(profile);
  }
  cmsCloseProfile(srgb);
  // Grey and CMYK profiles have no such tables.
  cmsHPROFILE grey = cmsCreateGrayProfile(cmsD50_xyY(), nullptr);
  EXPECT_FALSE(MatrixShaper::FromProfile(grey));
  if (grey) cmsCloseProfile(grey);
}

// Display P3 (code points 12, 13) into sRGB by the published matrix between their linear
// forms: an independent reckoning of what lcms2 should give.
Colour P3InSrgb(int r, int g, int b) {
  auto linear = [](int v) {
    double x = v / 255.0;
    return x <= 0.04045 ? x / 12.92 : std::pow((x + 0.055) / 1.055, 2.4);
  };
  auto encoded = [](double v) {
    v = std::min(1.0, std::max(0.0, v));
    v = v <= 0.0031308 ? 12.92 * v : 1.055 * std::pow(v, 1 / 2.4) - 0.055;
    return static_cast<int>(std::lround(v * 255));
  };
  double R = linear(r), G = linear(g), B = linear(b);
  return {encoded(1.2249 * R - 0.2247 * G), encoded(-0.0420 * R + 1.0419 * G), encoded(-0.0197 * R - 0.0786 * G + 1.0979 * B),
          255};
}

class ToSrgb : public ConversionTest {
 protected:
  Image ConvertedPng(const std::string& name, const Bytes& bytes) {
    SetTarget(u"PNG");
    gAppSettings.ToSrgb = 1;
    WriteBytes(scratch, name, bytes);
    FileListClear();
    AddEntry(scratch, name);
    EXPECT_EQ(RunConversion().converted, 1) << name;
    std::string out = scratch.Read(name.substr(0, name.rfind('.')) + "_c.png");
    return Decoded(Bytes(out.begin(), out.end()));
  }
};

TEST_F(ToSrgb, EmbeddedAndCodePointProfilesAreFollowedAndUntaggedPicturesLeftAlone) {
  // Embedded: Adobe RGB comes out as ImageMagick shows it, without a profile.
  Image adobe = ConvertedPng("adobe-rgb.png", CorpusFile("adobe-rgb.png"));
  Image shown = Decoded(CorpusFile("adobe-rgb-shown.png"));
  ASSERT_TRUE(adobe && shown);
  for (uint32_t y = 0; y < 4; ++y)
    for (uint32_t x = 0; x < 6; ++x) {
      PaletteEntry want = PixelAt(shown, x, y);
      ExpectPixel(adobe, x, y, {want.red, want.green, want.blue, 255}, 1);
    }
  EXPECT_TRUE(ImageProfile(adobe).empty());

  // Derived from code points, as a HEIF's or AVIF's nclx box gives them.
  std::vector<uint8_t> p3 = ProfileForCodePoints(12, 13);
  ASSERT_FALSE(p3.empty());
  Bytes p3png = PngFile(3, 1, 8, 2, {{200, 100, 50, 30, 180, 90, 128, 128, 128}}, {IccpChunk(Bytes(p3.begin(), p3.end()))});
  Image fromP3 = ConvertedPng("p3.png", p3png);
  ASSERT_TRUE(fromP3);
  ExpectPixel(fromP3, 0, 0, P3InSrgb(200, 100, 50), 1);
  ExpectPixel(fromP3, 1, 0, P3InSrgb(30, 180, 90), 1);
  ExpectPixel(fromP3, 2, 0, {128, 128, 128, 255}, 1);

  // None: the pixels as they are.
  Image plain = ConvertedPng("plain.png", PngFile(1, 1, 8, 2, {{200, 100, 50}}));
  ExpectPixel(plain, 0, 0, {200, 100, 50, 255});
}

TEST_F(ToSrgb, AProfileThatCannotBeFollowedFailsItsFileAlone) {
  std::vector<uint8_t> adobe = ImageProfile(Decoded(CorpusFile("adobe-rgb.png")));
  Bytes damaged(adobe.begin(), adobe.begin() + 200);
  std::memset(damaged.data() + 128, 0xEE, 72);
  SetTarget(u"JPG");
  gAppSettings.ToSrgb = 1;
  WriteBytes(scratch, "damaged.png", PngFile(1, 1, 8, 2, {{200, 100, 50}}, {IccpChunk(damaged)}));
  WriteBytes(scratch, "good.png", CorpusFile("adobe-rgb.png"));
  FileListClear();
  AddEntry(scratch, "damaged.png");
  AddEntry(scratch, "good.png");
  RunResult result = RunConversion();
  EXPECT_EQ(result.converted, 1);
  EXPECT_EQ(result.failed, 1);
  EXPECT_FALSE(scratch.Exists("damaged_c.jpg"));
  EXPECT_TRUE(scratch.Exists("good_c.jpg"));
}

// BMP keeps no profile: its pixels are sRGB's, or a viewer would show Adobe RGB's numbers
// as sRGB colours.
TEST_F(ConversionTest, AFormatWithoutProfilesGetsSrgbPixels) {
  SetTarget(u"BMP");
  WriteBytes(scratch, "adobe-rgb.png", CorpusFile("adobe-rgb.png"));
  AddEntry(scratch, "adobe-rgb.png");
  ASSERT_EQ(RunConversion().converted, 1);
  std::string out = scratch.Read("adobe-rgb_c.bmp");
  Image bmp = Decoded(Bytes(out.begin(), out.end()));
  PaletteEntry want = PixelAt(Decoded(CorpusFile("adobe-rgb-shown.png")), 2, 1);
  ExpectPixel(bmp, 2, 1, {want.red, want.green, want.blue, 255}, 1);
}

// Without a profile a CMYK JPEG's inks become RGB as every reader turns them (the
// Adobe-inverted inks ImageMagick writes), as they always did here.
TEST(CmykJpeg, WithoutAProfileTheInksBecomeRgbAsBefore) {
  Image image = Decoded(CorpusFile("jpeg-cmyk.jpg"));
  ASSERT_TRUE(image);
  EXPECT_TRUE(ImageProfile(image).empty());
  ExpectPixel(image, 0, 0, kRed, 6);
  ExpectPixel(image, 5, 3, kWhite, 6);
  ExpectPixel(image, 0, 3, kBlue, 6);
}

// Half-clear red and a clear pixel over the chosen blue, into JPG and into a 256-colour PNG
// of more colours than a palette holds.
TEST_F(ConversionTest, TransparencyLiesOnTheChosenBackground) {
  gAppSettings.Background = StoredBackground(0x0000FF);
  // A block of half-clear red, a clear block, then more colours than a palette holds.
  std::vector<Bytes> rows;
  for (int y = 0; y < 16; ++y) {
    Bytes row;
    for (int x = 0; x < 320; ++x) {
      Bytes pixel = x < 16 ? Bytes{255, 0, 0, 128} : x < 32 ? Bytes{0, 0, 0, 0}
                                                     : Bytes{uint8_t(x), uint8_t(y * 16), uint8_t(x / 3), 255};
      row.insert(row.end(), pixel.begin(), pixel.end());
    }
    rows.push_back(row);
  }
  WriteBytes(scratch, "clear.png", PngFile(320, 16, 8, 6, rows));
  AddEntry(scratch, "clear.png");
  SetTarget(u"JPG");
  gAppSettings.SaveFlags[kFormatJpeg] = 100;
  ASSERT_EQ(RunConversion().converted, 1);
  std::string jpg = scratch.Read("clear_c.jpg");
  Image flat = Decoded(Bytes(jpg.begin(), jpg.end()));
  ExpectPixel(flat, 8, 8, {128, 0, 127, 255}, 3);
  ExpectPixel(flat, 24, 8, {0, 0, 255, 255}, 3);

  SetTarget(u"PNG");
  gAppSettings.SaveFlags[kFormatPng] |= kPng256ColourFlag;
  FileListClear();
  AddEntry(scratch, "clear.png");
  ASSERT_EQ(RunConversion().converted, 1);
  std::string png = scratch.Read("clear_c.png");
  Image indexed = Decoded(Bytes(png.begin(), png.end()));
  EXPECT_LE(ImageBpp(indexed), 8u);
  ExpectPixel(indexed, 8, 8, {128, 0, 127, 255}, 8);
  EXPECT_EQ(PixelAt(indexed, 24, 8).alpha, 0);
}

}  // namespace
