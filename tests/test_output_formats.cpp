// The format records and what reads them: the option panel's word edits, the
// command-line flags, the extension of the files written.
#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "app/batch_options.h"
#include "settings/formats.h"
#include "settings/option_panel.h"
#include "settings/defaults.h"

namespace {

AppSettings Defaults() {
  AppSettings s{};
  ApplyDefaultSettings(&s, u"/p");
  return s;
}

std::vector<OutputFormat> Records() {
  int count = 0;
  const OutputFormat* formats = OutputFormats(&count);
  return std::vector<OutputFormat>(formats, formats + count);
}

TEST(OptionPanel, FlagWordEditsOfEachControl) {
  AppSettings s = Defaults();
  const OutputFormat jpeg = OutputFormatById(kFormatJpeg), webp = OutputFormatById(kFormatWebp),
                     png = OutputFormatById(kFormatPng), unknown = OutputFormatById(kFormatUnknown);
  SetPanelQuality(&s, jpeg, 60);
  EXPECT_EQ(s.SaveFlags[kFormatJpeg], 0x203C);
  SetPanelQuality(&s, jpeg, 84);
  TogglePanelBit(&s, jpeg, kIdJpegNoMetadata);
  EXPECT_EQ(s.SaveFlags[kFormatJpeg], 0x42054);
  TogglePanelBit(&s, jpeg, kIdJpegNoMetadata);
  EXPECT_EQ(s.SaveFlags[kFormatJpeg], 0x2054);
  TogglePanelBit(&s, jpeg, kIdJpegProgressive);
  EXPECT_EQ(s.SaveFlags[kFormatJpeg], 0x54);

  TogglePanelBit(&s, webp, kIdWebpLossless);
  EXPECT_EQ(s.SaveFlags[kFormatWebp], 0x15A);
  SetPanelQuality(&s, webp, 75);
  EXPECT_EQ(s.SaveFlags[kFormatWebp], 0x14B);

  EXPECT_EQ(s.SaveFlags[kFormatPng], 0);
  PreparePanelWord(&s, png);
  EXPECT_EQ(s.SaveFlags[kFormatPng], 9);
  TogglePanelBit(&s, png, kIdPngPalette);
  EXPECT_EQ(s.SaveFlags[kFormatPng], 0x80009);
  PreparePanelWord(&s, png);
  EXPECT_EQ(s.SaveFlags[kFormatPng], 0x80009);

  // A slider on a panel of another format, an unknown format or a stray control: no word changes.
  AppSettings before = s;
  SetPanelQuality(&s, png, 50);
  SetPanelQuality(&s, unknown, 50);
  TogglePanelBit(&s, unknown, kIdPngPalette);
  TogglePanelBit(&s, jpeg, kIdQualitySlider);
  EXPECT_EQ(std::memcmp(&s, &before, sizeof s), 0);
}

TEST(OptionPanel, QualityLabelsCarryTheBlankOfTheNumber) {
  EXPECT_EQ(QualityLabelAtBuild(84), u"Качество:  84");
  EXPECT_EQ(QualityLabelAfterMove(60), u"Качество: 60");
  EXPECT_EQ(PanelQuality(0x42054), 84);
}

TEST(OutputFormats, NamesAliasesAndOtherFreeImageFormats) {
  EXPECT_EQ(OutputFormatByName(u"jpeg").formatId, kFormatJpeg);
  EXPECT_EQ(Text(OutputFormatByName(u"Jpg").name), u"JPG");
  EXPECT_EQ(OutputFormatByName(u"webp").encoder, EncoderKind::Libwebp);
  // GIF has no options but always a palette; other FreeImage names are written as they come.
  EXPECT_EQ(OutputFormatByName(u"gif").depth, DepthRule::Palette);
  OutputFormat tiff = OutputFormatByName(u"tif");
  EXPECT_EQ(tiff.formatId, 18);
  EXPECT_EQ(tiff.slot, 18);
  EXPECT_EQ(tiff.optionCount, 0);
  EXPECT_EQ(tiff.depth, DepthRule::AsIs);
  EXPECT_EQ(OutputFormatByName(u"jpgxyz").formatId, kFormatUnknown);
  EXPECT_EQ(FormatWord(nullptr, OutputFormatByName(u"jpgxyz")), nullptr);
  // The extension is the record's for its own name and the typed name otherwise.
  EXPECT_EQ(OutputExtension(u"jpg"), u"jpg");
  EXPECT_EQ(OutputExtension(u"JPEG"), u"jpeg");
  EXPECT_EQ(OutputExtension(u"TIF"), u"tif");
}

TEST(OutputFormats, EveryOptionOwnsOneBitOfItsOwnWordAndOneControl) {
  std::set<int> controls;
  for (const OutputFormat& format : Records()) {
    ASSERT_GE(format.slot, 0) << Text(format.name).size();
    ASSERT_LT(format.slot, kFlagWordCount);
    for (int i = 0; i < format.optionCount; ++i) {
      const FormatOption& option = format.options[i];
      EXPECT_TRUE(controls.insert(option.controlId).second) << option.flag;
      // The bit is no part of the quality, and is set by its check box alone.
      EXPECT_EQ(option.bit & kQualityBits, 0) << option.flag;
      AppSettings s = Defaults(), before = s;
      TogglePanelBit(&s, format, option.controlId);
      EXPECT_EQ(*FormatWord(&s, format), *FormatWord(&before, format) ^ option.bit) << option.flag;
      *FormatWord(&s, format) = *FormatWord(&before, format);
      EXPECT_EQ(std::memcmp(&s, &before, sizeof s), 0) << option.flag << ": another word changed";
    }
  }
}

TEST(OutputFormats, CommandLineFlagsSetTheSameBitsAsTheCheckBoxes) {
  for (const OutputFormat& format : Records())
    for (int i = 0; i < format.optionCount; ++i) {
      const FormatOption& option = format.options[i];
      for (const char* value : {"on", "off"}) {
        BatchOptions o;
        std::string reason;
        ASSERT_TRUE(ParseBatchArgs({option.flag, value}, &o, &reason)) << reason;
        AppSettings s = Defaults();
        ApplyOverrides(o, &s);
        EXPECT_EQ(HasFlag(*FormatWord(&s, format), option.bit), std::string(value) == "on") << option.flag;
      }
    }
  EXPECT_NE(BatchUsage().find("--palette on|off"), std::string::npos);
}

}  // namespace
