// Real files of many kinds, written by FreeImage itself, through the whole pipeline to
// each target; every result must open again with the expected size and depth.
#include "app/batch_run.h"
#include "tests/conversion_fixture.h"

namespace {

constexpr int32_t kFormatBmp = 0;
constexpr int32_t kFormatTiff = 18;
constexpr int32_t kFormatPfm = 32;
constexpr uint32_t kW = 37, kH = 23;  // odd sizes catch row-padding mistakes

struct Source {
  const char* name;
  SampleKind kind;
  int32_t format;
  uint32_t pngBpp;  // depth of the PNG result
  bool alpha;       // whether transparency survives into PNG and WEBP
};

// Base names differ: two sources of one base name give one output, which a run refuses
// for the second.
const Source kSources[] = {
    {"photo.jpg", SampleKind::Rgb24, kFormatJpeg, 24, false},
    {"palette.png", SampleKind::Palette8, kFormatPng, 8, false},
    {"clear-palette.png", SampleKind::Palette8Clear, kFormatPng, 8, true},
    {"grey.png", SampleKind::Grey8, kFormatPng, 8, false},
    {"alpha.png", SampleKind::Rgba32, kFormatPng, 32, true},
    {"deep.png", SampleKind::Rgb48, kFormatPng, 24, false},
    {"deep-alpha.png", SampleKind::Rgba64, kFormatPng, 32, true},
    {"grey16.png", SampleKind::Grey16, kFormatPng, 8, false},
    {"mono.png", SampleKind::Mono1, kFormatPng, 1, false},
    {"anim.gif", SampleKind::Palette8, kFormatGif, 8, false},
    {"plain.bmp", SampleKind::Rgb24, kFormatBmp, 24, false},
    {"mono-1bit.bmp", SampleKind::Mono1, kFormatBmp, 1, false},
    {"scan.tif", SampleKind::Rgb24, kFormatTiff, 24, false},
    {"deep-48bit.tif", SampleKind::Rgb48, kFormatTiff, 24, false},
    {"float.tif", SampleKind::RgbFloat, kFormatTiff, 24, false},
    {"grey-float.pfm", SampleKind::GreyFloat, kFormatPfm, 8, false},
};

class RealImages : public testing::Test {
 protected:
  void SetUp() override {
    QuietTiffWarnings();
    ResetConversion(scratch);
    gAppSettings.OutputMode = 2;
    for (const Source& s : kSources) {
      WriteSample(scratch, s.name, kW, kH, s.kind, s.format);
      AddEntry(scratch, s.name);
    }
  }
  void TearDown() override { gRunState = kRunIdle; }

  // Converts the whole list to the target and opens each result.
  void ConvertAll(const char16_t* target, const char* extension,
                  const std::function<void(const Source&, const Opened&)>& check, uint32_t width = kW,
                  uint32_t height = kH) {
    SetTarget(target);
    RunResult result = RunConversion();
    EXPECT_EQ(result.converted, static_cast<int32_t>(std::size(kSources))) << TextToUtf8(target);
    EXPECT_TRUE(gShownBoxes.empty()) << (gShownBoxes.empty() ? "" : TextToUtf8(gShownBoxes[0].text));
    for (const Source& s : kSources) {
      std::string base = s.name;
      std::string out = base.substr(0, base.rfind('.')) + "_c." + extension;
      Opened opened = OpenResult(scratch, out);
      SCOPED_TRACE(out);
      ASSERT_TRUE(opened.ok);
      EXPECT_EQ(opened.width, width);
      EXPECT_EQ(opened.height, height);
      check(s, opened);
    }
  }

  ScratchFolder scratch;
};

TEST_F(RealImages, SamplesHaveTheDepthTheyClaim) {
  // Otherwise the conversions below would prove nothing about 16-bit and float input.
  // (A float TIFF holds samples on 0..1 and is taken to 8 bits as it is decoded; the
  // PFM is a float picture all the way to the pipeline.)
  for (const char* name : {"deep.png", "grey16.png", "deep-48bit.tif", "grey-float.pfm"}) {
    std::vector<uint8_t> bytes;
    ASSERT_EQ(FsReadWholeFile(scratch.Path(name), &bytes), ReadResult::Ok);
    int32_t error = 0;
    Image image = LoadImageFromBuffer(bytes.data(), static_cast<uint32_t>(bytes.size()), &error);
    ASSERT_TRUE(image) << name;
    EXPECT_FALSE(IsStandardBitmap(image)) << name;
  }
}

TEST_F(RealImages, EveryKindConvertsToJpg) {
  ConvertAll(u"JPG", "jpg", [](const Source&, const Opened& o) { EXPECT_EQ(o.bpp, 24u); });
}

TEST_F(RealImages, EveryKindConvertsToWebp) {
  ConvertAll(u"WEBP", "webp", [](const Source& s, const Opened& o) {
    EXPECT_TRUE(o.bpp == 24 || o.bpp == 32) << o.bpp;
    if (s.alpha) {
      EXPECT_TRUE(o.alpha);
    }
  });
}

TEST_F(RealImages, EveryKindConvertsToPng) {
  ConvertAll(u"PNG", "png", [](const Source& s, const Opened& o) {
    EXPECT_EQ(o.bpp, s.pngBpp);
    EXPECT_EQ(o.alpha, s.alpha);
  });
}

// A 1-bit picture already fits and keeps its depth; everything else gets 8 bits.
TEST_F(RealImages, PaletteOptionGivesEightBitPng) {
  SetFlag(gAppSettings.SaveFlags[kFormatPng], kPng256ColourFlag);
  gAppSettings.FormatId = kFormatPng;
  ConvertAll(u"PNG", "png", [](const Source& s, const Opened& o) { EXPECT_EQ(o.bpp, s.pngBpp == 1 ? 1u : 8u); });
}

TEST_F(RealImages, GifQuantisesAndBmpKeepsTheDepth) {
  ConvertAll(u"GIF", "gif", [](const Source&, const Opened& o) { EXPECT_LE(o.bpp, 8u); });
  ConvertAll(u"BMP", "bmp", [](const Source& s, const Opened& o) {
    if (s.pngBpp == 1) {
      EXPECT_EQ(o.bpp, 1u);
    } else if (s.kind == SampleKind::Rgb24) {
      EXPECT_EQ(o.bpp, 24u);
    }
  });
}

// A rescale widens a palette to true colour; palette targets must still get one.
TEST_F(RealImages, ResizedPaletteTargetsKeepTheirPalette) {
  gAppSettings.ResizeMode = 2;
  gAppSettings.ScalePercent = 50;
  SetFlag(gAppSettings.SaveFlags[kFormatPng], kPng256ColourFlag);
  gAppSettings.FormatId = kFormatPng;
  // 18.5 and 11.5 round to the even neighbour.
  ConvertAll(u"PNG", "png", [](const Source&, const Opened& o) { EXPECT_EQ(o.bpp, 8u); }, 18, 12);
  ConvertAll(u"GIF", "gif", [](const Source&, const Opened& o) { EXPECT_LE(o.bpp, 8u); }, 18, 12);
}

TEST_F(RealImages, ResultsCarryTheSoftwareTag) {
  SetTarget(u"JPG");
  RunConversion();
  std::string bytes = scratch.Read("photo_c.jpg");
  EXPECT_NE(bytes.find(kSoftwareTag), std::string::npos);
}

}  // namespace
