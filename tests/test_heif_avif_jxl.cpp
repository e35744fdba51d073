// HEIF, AVIF and JPEG XL: the container's turns applied once, deep samples rounded,
// alpha, colour code points as profiles, HDR refused, JPEG XL's quality mapping and its
// own orientation, and the whole road through a run.
#include <gtest/gtest.h>

#include <array>
#include <cmath>

#include "engine/codecs/colour_profiles.h"
#include "engine/codecs/exif_orientation.h"
#include "engine/codecs/heif_codec.h"
#include "engine/codecs/jxl_codec.h"
#include "settings/signature.h"
#include "tests/conversion_fixture.h"

#include <jxl/encode.h>
#include <lcms2.h>

namespace {

std::vector<uint8_t> CorpusBytes(const std::string& name) {
  std::vector<uint8_t> bytes;
  EXPECT_EQ(FsReadWholeFile(TextFromUtf8(std::string(TESSALY_TEST_DATA) + "/corpus/" + name), &bytes),
            ReadResult::Ok)
      << name;
  return bytes;
}

struct Rgb {
  int r, g, b;
};

bool Near(const PaletteEntry& seen, const Rgb& want, int tolerance = 48) {
  return std::abs(seen.red - want.r) <= tolerance && std::abs(seen.green - want.g) <= tolerance &&
         std::abs(seen.blue - want.b) <= tolerance;
}

// The test grids: 3 x 2 tiles of 64 x 64 (tests/data/make-heif-corpus.sh).
constexpr Rgb kTiles[2][3] = {{{255, 0, 0}, {0, 255, 0}, {0, 0, 255}}, {{255, 255, 0}, {255, 0, 255}, {0, 255, 255}}};

struct Point {
  int x, y;
};

// Where a point of a w x h picture lands after `turns` quarter turns anticlockwise, then
// the mirror of imir's axis 0, which flips top and bottom as libheif and the phones'
// readers take it (the order in which the files name them).
Point Place(Point p, int w, int h, int turns, bool mirror) {
  for (int i = 0; i < turns; ++i) {
    p = Point{p.y, w - 1 - p.x};
    std::swap(w, h);
  }
  if (mirror) p.y = h - 1 - p.y;
  return p;
}

void ExpectTurnedGrid(const Image& image, int turns, bool mirror, const std::string& what) {
  ASSERT_TRUE(image) << what;
  bool sideways = turns % 2 == 1;
  EXPECT_EQ(ImageWidth(image), sideways ? 128u : 192u) << what;
  EXPECT_EQ(ImageHeight(image), sideways ? 192u : 128u) << what;
  for (int row = 0; row < 2; ++row)
    for (int column = 0; column < 3; ++column) {
      Point at = Place(Point{column * 64 + 32, row * 64 + 32}, 192, 128, turns, mirror);
      PaletteEntry seen = PixelAt(image, static_cast<uint32_t>(at.x), static_cast<uint32_t>(at.y));
      EXPECT_TRUE(Near(seen, kTiles[row][column]))
          << what << ": tile " << row << "," << column << " at " << at.x << "," << at.y << " shows " << int(seen.red)
          << "," << int(seen.green) << "," << int(seen.blue);
    }
}

Image Decode(const std::vector<uint8_t>& bytes, int32_t* error, Text* detail = nullptr) {
  *error = 0;
  return LoadImageFromBuffer(bytes.data(), static_cast<uint32_t>(bytes.size()), error, 0, detail);
}

TEST(Heif, EveryTurnAndMirrorOfTheContainerIsAppliedOnce) {
  for (int turns = 0; turns < 4; ++turns)
    for (bool mirror : {false, true}) {
      std::string name = "heif-turn-r" + std::to_string(turns) + (mirror ? "-m0" : "") + ".heic";
      int32_t error = 0;
      Image image = Decode(CorpusBytes(name), &error);
      EXPECT_EQ(error, 0) << name;
      ExpectTurnedGrid(image, turns, mirror, name);
    }
}

// A phone's photo: a grid turned by the container, whose EXIF also names a turn. The
// picture is turned once, and the EXIF it keeps says "upright".
TEST(Heif, PhoneGridIsTurnedOnceAndItsExifSaysUpright) {
  std::vector<uint8_t> bytes = CorpusBytes("heif-grid-irot1-exif6.heic");
  PictureHeader header;
  ReadPictureHeader(bytes.data(), static_cast<uint32_t>(bytes.size()), &header);
  EXPECT_TRUE(header.known);
  EXPECT_EQ(header.format, kFormatHeif);
  EXPECT_EQ(header.width, 128u) << "the size a header gives is the turned one";
  EXPECT_EQ(header.height, 192u);
  DecodedPicture picture = DecodeHeif(bytes.data(), bytes.size());
  ASSERT_EQ(picture.error, 0);
  ASSERT_FALSE(picture.exif.empty());
  EXPECT_EQ(ReadExifOrientation(picture.exif.data(), picture.exif.size()), 1);
  int32_t error = 0;
  ExpectTurnedGrid(Decode(bytes, &error), 1, false, "phone grid");
}

TEST(Avif, TenBitSamplesAreRoundedToEight) {
  std::vector<uint8_t> bytes = CorpusBytes("avif-10bit.avif");
  DecodedPicture picture = DecodeHeif(bytes.data(), bytes.size());
  ASSERT_EQ(picture.error, 0);
  EXPECT_EQ(picture.width, 16u);
  // The 16-bit gradient from #0000/1000/2000 at the top to #FFFF/E000/C000 at the bottom
  // came through 10 bits: the top row's red stays near 0, the bottom's reaches 255.
  EXPECT_LE(picture.pixels[0], 3);
  EXPECT_GE(picture.pixels[size_t{7} * 16 * 3], 250);
  EXPECT_EQ(NarrowSample(3, 1023), 1) << "3/1023 is 0.75 of an 8-bit step: rounded, not cut";
  EXPECT_EQ(NarrowSample(1023, 1023), 255);
  EXPECT_EQ(NarrowSample(2, 1023), 0);
  EXPECT_EQ(NarrowSample(4095, 4095), 255);
}

TEST(Avif, AlphaIsKeptAndReachesAPng) {
  std::vector<uint8_t> bytes = CorpusBytes("avif-alpha.avif");
  int32_t error = 0;
  Image image = Decode(bytes, &error);
  ASSERT_TRUE(image);
  EXPECT_EQ(ImageBpp(image), 32u);
  // The alpha gradient runs from opaque at the top to clear at the bottom.
  EXPECT_GE(PixelAt(image, 12, 0).alpha, 240);
  EXPECT_LE(PixelAt(image, 12, 15).alpha, 24);
  std::vector<uint8_t> png;
  ASSERT_TRUE(EncodeImage(image, kFormatPng, 0, &png));
  Image again = Decode(png, &error);
  EXPECT_TRUE(ImageHasAlpha(again));
}

TEST(Avif, CodePointsBecomeAProfileAndHdrIsRefused) {
  std::vector<uint8_t> p3 = CorpusBytes("avif-p3.avif");
  DecodedPicture picture = DecodeHeif(p3.data(), p3.size());
  ASSERT_EQ(picture.error, 0);
  ASSERT_FALSE(picture.icc.empty()) << "Display P3 must not be taken for sRGB";
  std::vector<uint8_t> pq = CorpusBytes("avif-hdr-pq.avif");
  int32_t error = 0;
  Text detail;
  EXPECT_FALSE(Decode(pq, &error, &detail));
  EXPECT_EQ(error, kErrorHdr);
  EXPECT_EQ(detail, u"PQ (SMPTE 2084)");
}

// The profile written for code points describes them: its red primary is Display P3's,
// and sRGB's own code points need none.
TEST(ColourProfiles, CodePointsWrittenOutAsTheirPrimaries) {
  EXPECT_TRUE(ProfileForCodePoints(1, 13).empty());
  EXPECT_TRUE(ProfileForCodePoints(2, 2).empty());
  EXPECT_TRUE(ProfileForCodePoints(12, 16).empty()) << "HDR is refused before";
  EXPECT_TRUE(ProfileForCodePoints(77, 13).empty()) << "unknown primaries";
  struct Row {
    uint16_t primaries, transfer;
    double redX, redY;
  } rows[] = {{12, 13, 0.680, 0.320}, {9, 1, 0.708, 0.292}, {1, 8, 0.64, 0.33}};
  for (const Row& row : rows) {
    std::vector<uint8_t> icc = ProfileForCodePoints(row.primaries, row.transfer);
    ASSERT_FALSE(icc.empty()) << row.primaries;
    cmsHPROFILE profile = cmsOpenProfileFromMem(icc.data(), static_cast<cmsUInt32Number>(icc.size()));
    ASSERT_TRUE(profile);
    auto* red = static_cast<cmsCIEXYZ*>(cmsReadTag(profile, cmsSigRedColorantTag));
    ASSERT_TRUE(red);
    // The colorant is adapted to D50; its chromaticity stays near the primary's.
    cmsCIExyY xyY;
    cmsXYZ2xyY(&xyY, red);
    EXPECT_NEAR(xyY.x, row.redX, 0.03) << row.primaries;
    EXPECT_NEAR(xyY.y, row.redY, 0.03) << row.primaries;
    cmsCloseProfile(profile);
  }
}

TEST(Jxl, QualityMapsToTheReferenceEncodersDistance) {
  struct Row {
    int quality;
    double distance;
  } rows[] = {{100, 0.0}, {90, 1.0}, {75, 2.35}, {30, 6.4}, {50, 4.6}, {1, 6.4 + std::pow(2.5, 29 / 5.0) / 6.25}};
  for (const Row& row : rows) EXPECT_NEAR(JxlDistanceForQuality(row.quality), row.distance, 1e-9) << row.quality;
}

// A JPEG XL whose header names orientation 6 (stored turned a quarter anticlockwise) comes
// out upright: a stored 4 x 2 picture becomes 2 x 4.
TEST(Jxl, ItsOwnOrientationIsApplied) {
  JxlEncoder* enc = JxlEncoderCreate(nullptr);
  JxlBasicInfo info;
  JxlEncoderInitBasicInfo(&info);
  info.xsize = 4;
  info.ysize = 2;
  info.bits_per_sample = 8;
  info.uses_original_profile = JXL_TRUE;
  info.orientation = JXL_ORIENT_ROTATE_90_CW;
  ASSERT_EQ(JxlEncoderSetBasicInfo(enc, &info), JXL_ENC_SUCCESS);
  JxlColorEncoding srgb;
  JxlColorEncodingSetToSRGB(&srgb, JXL_FALSE);
  JxlEncoderSetColorEncoding(enc, &srgb);
  JxlEncoderFrameSettings* frame = JxlEncoderFrameSettingsCreate(enc, nullptr);
  JxlEncoderSetFrameLossless(frame, JXL_TRUE);
  // Top row red, bottom row blue.
  std::array<uint8_t, 24> pixels{};
  for (int x = 0; x < 4; ++x) {
    pixels[3 * x] = 255;
    pixels[12 + 3 * x + 2] = 255;
  }
  JxlPixelFormat format = {3, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
  ASSERT_EQ(JxlEncoderAddImageFrame(frame, &format, pixels.data(), pixels.size()), JXL_ENC_SUCCESS);
  JxlEncoderCloseInput(enc);
  std::vector<uint8_t> out(4096);
  uint8_t* next = out.data();
  size_t left = out.size();
  ASSERT_EQ(JxlEncoderProcessOutput(enc, &next, &left), JXL_ENC_SUCCESS);
  out.resize(out.size() - left);
  JxlEncoderDestroy(enc);
  int32_t error = 0;
  Image image = Decode(out, &error);
  ASSERT_TRUE(image) << error;
  EXPECT_EQ(ImageWidth(image), 2u);
  EXPECT_EQ(ImageHeight(image), 4u);
  // Turned a quarter clockwise: the top row (red) is now the right column.
  EXPECT_TRUE(Near(PixelAt(image, 1, 0), {255, 0, 0}, 2));
  EXPECT_TRUE(Near(PixelAt(image, 0, 0), {0, 0, 255}, 2));
}

// Files cut short or spoilt get the clear errors of every format, never a picture; a grid
// that declares more pixels than the budget is refused from its header alone.
TEST(NewFormats, DamagedCutAndHugeFilesAreNamedAsSuch) {
  std::vector<uint8_t> avif = CorpusBytes("avif-alpha.avif");
  int32_t error = 0;
  std::vector<uint8_t> cut(avif.begin(), avif.begin() + static_cast<std::ptrdiff_t>(avif.size() * 3 / 4));
  EXPECT_FALSE(Decode(cut, &error));
  EXPECT_TRUE(error == kErrorTruncated || error == kErrorDamaged) << error;
  std::vector<uint8_t> spoilt = avif;
  for (size_t i = spoilt.size() / 2; i < spoilt.size(); i += 7) spoilt[i] ^= 0x5A;
  EXPECT_FALSE(Decode(spoilt, &error) && error == 0) << "a spoilt AV1 stream is not a picture";

  PictureHeader header;
  std::vector<uint8_t> huge = CorpusBytes("heif-huge-grid.heic");
  ReadPictureHeader(huge.data(), static_cast<uint32_t>(huge.size()), &header);
  EXPECT_TRUE(header.known);
  EXPECT_EQ(header.width, 30000u);
  EXPECT_EQ(header.height, 30000u);

  // A JPEG XL codestream cut after its header.
  std::vector<uint8_t> pixels(64 * 64 * 3, 90), jxl;
  PixelRows rows{pixels.data(), 64 * 3, 64, 64, 24};
  ASSERT_TRUE(EncodeJxl(rows, false, 90, PictureMetadata(), &jxl));
  jxl.resize(jxl.size() / 2);
  EXPECT_FALSE(Decode(jxl, &error));
  EXPECT_EQ(error, kErrorTruncated);
}

class NewFormatRun : public ConversionTest {};

// The road through a run: a phone's HEIC to an upright JPG, a JPG to AVIF and to JPEG XL
// (the JPEG's own data kept, rebuilt bit for bit by the decoder's reconstruction), lossless
// AVIF giving back the very pixels.
TEST_F(NewFormatRun, HeicToJpgAndJpgToAvifAndJxl) {
  WriteBytes(scratch, "phone.heic", CorpusBytes("heif-grid-irot1-exif6.heic"));
  AddEntry(scratch, "phone.heic");
  SetTarget(u"JPG");
  RunResult result = RunConversion();
  EXPECT_EQ(result.converted, 1) << TextToUtf8(BoxReason(0));
  Opened jpg = OpenResult(scratch, "phone_c.jpg");
  EXPECT_TRUE(jpg.ok);
  EXPECT_EQ(jpg.width, 128u);
  EXPECT_EQ(jpg.height, 192u);
  std::vector<uint8_t> written;
  ASSERT_EQ(FsReadWholeFile(scratch.Path("phone_c.jpg"), &written), ReadResult::Ok);
  std::string text(written.begin(), written.end());
  size_t exif = text.find(std::string("Exif\0\0", 6));
  ASSERT_NE(exif, std::string::npos) << "the JPG keeps the EXIF";
  EXPECT_EQ(ReadExifOrientation(written.data() + exif, written.size() - exif), 1) << "the EXIF says upright";

  FileListClear();
  std::vector<uint8_t> jpeg = SampleBytes(SampleKind::Rgb24, 96, 64, kFormatJpeg);
  WriteBytes(scratch, "photo.jpg", jpeg);
  AddEntry(scratch, "photo.jpg");
  for (const char16_t* target : {u"AVIF", u"JXL"}) {
    SetTarget(target);
    result = RunConversion();
    EXPECT_EQ(result.converted, 1) << TextToUtf8(BoxReason(0));
  }
  Opened avif = OpenResult(scratch, "photo_c.avif");
  EXPECT_TRUE(avif.ok);
  EXPECT_EQ(avif.width, 96u);
  std::vector<uint8_t> jxl;
  ASSERT_EQ(FsReadWholeFile(scratch.Path("photo_c.jxl"), &jxl), ReadResult::Ok);
  EXPECT_TRUE(IsJxlFile(jxl.data(), jxl.size()));
  EXPECT_LT(jxl.size(), jpeg.size()) << "the JPEG's own coefficients, packed tighter";
}

TEST_F(NewFormatRun, HugeGridIsRefusedBeforeItsTilesAreDecoded) {
  WriteBytes(scratch, "huge.heic", CorpusBytes("heif-huge-grid.heic"));
  AddEntry(scratch, "huge.heic");
  RunResult result = RunConversion();
  EXPECT_EQ(result.failed, 1);
  EXPECT_EQ(BoxReason(0), u"Изображение слишком велико - Error: 18");
}

TEST_F(NewFormatRun, LosslessAvifGivesBackTheVeryPixels) {
  WriteSample(scratch, "sample.png", 40, 30, SampleKind::Rgba32);
  AddEntry(scratch, "sample.png");
  SetTarget(u"AVIF");
  gAppSettings.ExtraFlags[0] = 60 | kLosslessFlag | 6 << kEffortShift;
  ASSERT_EQ(RunConversion().converted, 1) << TextToUtf8(BoxReason(0));
  std::vector<uint8_t> source = SampleBytes(SampleKind::Rgba32, 40, 30, kFormatPng), avif;
  ASSERT_EQ(FsReadWholeFile(scratch.Path("sample_c.avif"), &avif), ReadResult::Ok);
  int32_t error = 0;
  Image a = Decode(source, &error), b = Decode(avif, &error);
  ASSERT_TRUE(a && b);
  for (uint32_t y = 0; y < 30; y += 7)
    for (uint32_t x = 0; x < 40; x += 5) {
      PaletteEntry p = PixelAt(a, x, y), q = PixelAt(b, x, y);
      EXPECT_TRUE(p.red == q.red && p.green == q.green && p.blue == q.blue && p.alpha == q.alpha) << x << "," << y;
    }
}

// A word never set (zero, as a Config.dat of an earlier release has it) converts with the
// format's defaults, and the settings signature sees them.
TEST(NewFormatWords, ANeverSetWordReadsAsTheDefault) {
  AppSettings s{};
  ApplyDefaultSettings(&s, u"/p");
  SetField(s.TargetFormat, u"AVIF");
  s.FormatId = kFormatAvif;
  uint32_t withDefault = SettingsSignature(s, false);
  s.ExtraFlags[0] = 0;
  EXPECT_EQ(FormatWordOf(s, OutputFormatById(kFormatAvif)), 60 | 6 << kEffortShift);
  EXPECT_EQ(SettingsSignature(s, false), withDefault);
  *FormatWord(&s, OutputFormatById(kFormatAvif)) |= kLosslessFlag;
  EXPECT_EQ(s.ExtraFlags[0], 60 | 6 << kEffortShift | kLosslessFlag);
  EXPECT_NE(SettingsSignature(s, false), withDefault);
}

}  // namespace
