#include <gtest/gtest.h>

#include <cstring>

#include "settings/app_settings.h"
#include "settings/signature.h"
#include "settings/defaults.h"

namespace {

AppSettings Defaults(TextView pictures = u"/home/u/Pictures") {
  AppSettings s{};
  ApplyDefaultSettings(&s, pictures);
  return s;
}

TEST(SettingsDefaults, FillTheNamedFieldsAndKeepTheOthers) {
  AppSettings s{};
  s.LaunchCount = 0;
  s.TopMost = 1;
  s.ClearListOnAdd = 8;
  ApplyDefaultSettings(&s, u"/home/u/Pictures");
  EXPECT_EQ(s.ActiveTab, 2);
  EXPECT_EQ(s.ShowToolTips, 1);
  EXPECT_EQ(s.ReservedOption, 2);
  EXPECT_EQ(s.OutputMode, 1);
  EXPECT_EQ(s.NoEnlarge, 1);
  EXPECT_EQ(s.ResizeMode, 0);
  EXPECT_EQ(s.ResizeSide, 1);
  EXPECT_EQ(s.TargetSize, 2000);
  EXPECT_EQ(s.ScalePercent, 50);
  EXPECT_EQ(s.FormatId, 2);
  EXPECT_EQ(s.SaveFlags[2], 8276);
  EXPECT_EQ(s.SaveFlags[35], 90);
  EXPECT_EQ(s.SaveFlags[13], 0);
  EXPECT_EQ(FieldView(s.TargetFormat), u"JPG");
  EXPECT_EQ(FieldView(s.SubfolderName), u"TessalyOut");
  EXPECT_EQ(FieldView(s.ExtensionList), u"jpg|png|gif|webp|bmp|psd|bmp,tiff,pcx,psd|heic,heif|avif|jxl");
  EXPECT_EQ(FieldView(s.OutputFolder), u"/home/u/Pictures/TessalyOut/");
  EXPECT_EQ(s.TopMost, 1);
  EXPECT_EQ(s.ClearListOnAdd, 8);
  EXPECT_EQ(s.LaunchCount, 0);
}

TEST(SettingsDefaults, PicturesFolderWithSeparatorIsNotDoubled) {
  EXPECT_EQ(FieldView(Defaults(u"/p/").OutputFolder), u"/p/TessalyOut/");
}

TEST(SettingsFields, LongTextsAreCutAtCapacity) {
  AppSettings s{};
  SetField(s.SubfolderName, Text(40, u'x'));
  EXPECT_EQ(FieldView(s.SubfolderName), Text(31, u'x'));
  SetField(s.TargetFormat, u"ABCDEFG");
  EXPECT_EQ(FieldView(s.TargetFormat), u"ABCDE");
  SetField(s.OutputFolder, Text(300, u'd'));
  EXPECT_EQ(FieldView(s.OutputFolder).size(), 254u);
}

TEST(SaveFlagWords, ExamplesOfTheFlagFunctions) {
  EXPECT_EQ(FlagValue(8276, 0), 84);
  int32_t word = 8276;
  SetFlagValue(word, 70);
  EXPECT_EQ(word, 0x2046);
  EXPECT_EQ(HasFlag(8276, 0x2000), 1);
  EXPECT_EQ(HasFlag(8276, 0x2001), 0);
  word = 0x2054;
  SetFlag(word, 0x40000);
  EXPECT_EQ(word, 0x42054);
  ClearFlag(word, 0x40000);
  EXPECT_EQ(word, 0x2054);
  // The value part keeps bits from 19 up: the PNG palette bit is not a FreeImage flag.
  EXPECT_EQ(FlagValue(0x80009, 0), 0x80009);
  word = 0x80009;
  SetFlagValue(word, 5);
  EXPECT_EQ(word, 5);
  // A first bit other than 0 starts the mask there.
  EXPECT_EQ(FlagValue(0x2054, 0x2000), 0x54);
}

TEST(SaveFlagWords, IdsOutsideTheTableReadAsZero) {
  AppSettings s = Defaults();
  EXPECT_EQ(SaveFlagsFor(s, -1), 0);
  EXPECT_EQ(SaveFlagsFor(s, 39), 0) << "HEIF is read only and has no word";
  EXPECT_EQ(SaveFlagsFor(s, 2), 8276);
  // AVIF's and JPEG XL's words lie in the spare bytes at 120 and 124.
  s.ExtraFlags[0] = 77;
  s.ExtraFlags[1] = 78;
  EXPECT_EQ(SaveFlagsFor(s, kFormatAvif), 77);
  EXPECT_EQ(SaveFlagsFor(s, kFormatJxl), 78);
  EXPECT_EQ(SaveFlagsSlot(&s, kFormatAvif), reinterpret_cast<int32_t*>(reinterpret_cast<uint8_t*>(&s) + 120));
}

TEST(TextChecksum, IsCrc16ArcOverUtf16LeBytes) {
  const uint8_t check[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
  EXPECT_EQ(Crc16Arc(check, 9), 0xBB3D);
  const uint8_t twelve[] = {'1', 0, '2', 0};
  EXPECT_EQ(TextChecksum(u"12"), Crc16Arc(twelve, 4));
  const uint8_t ya[] = {0x4F, 0x04};
  EXPECT_EQ(TextChecksum(u"\u044F"), Crc16Arc(ya, 2));
  EXPECT_EQ(TextChecksum(u""), 0);
  // The checksum stops at the terminator, wherever the view ends.
  const char16_t withStale[] = {u'1', u'2', 0, u'x'};
  EXPECT_EQ(TextChecksum(TextView(withStale, 4)), TextChecksum(u"12"));
}

TEST(SettingsSignature, XorOfTheConversionFields) {
  AppSettings s = Defaults();
  s.KeepDates = 0;  // as in every file of an earlier release
  uint32_t expected = 1 ^ 1 ^ 2000 ^ 50 ^ 0 ^ 1 ^ 2 ^ 8276;
  EXPECT_EQ(SettingsSignature(s, false), expected);
  EXPECT_EQ(SettingsSignature(s, true), expected ^ TextChecksum(u"TessalyOut"));
}

TEST(SettingsSignature, TextEntersByOutputMode) {
  AppSettings s = Defaults();
  s.OutputMode = 0;
  uint32_t before = SettingsSignature(s, true), plain = SettingsSignature(s, false);
  SetField(s.OutputFolder, u"/elsewhere/");
  EXPECT_NE(SettingsSignature(s, true), before);
  EXPECT_EQ(SettingsSignature(s, false), plain);  // the folder enters only with the text

  s.OutputMode = 2;
  before = SettingsSignature(s, true);
  SetField(s.OutputFolder, u"/third/");
  SetField(s.SubfolderName, u"Other");
  EXPECT_EQ(SettingsSignature(s, true), before);
  EXPECT_EQ(SettingsSignature(s, true), SettingsSignature(s, false));

  s.OutputMode = 1;
  before = SettingsSignature(s, true);
  SetField(s.SubfolderName, u"Third");
  EXPECT_NE(SettingsSignature(s, true), before);
}

TEST(SettingsSignature, QualityOfTheTargetFormatCounts) {
  AppSettings s = Defaults();
  uint32_t before = SettingsSignature(s, true);
  SetFlagValue(s.SaveFlags[2], 70);
  EXPECT_NE(SettingsSignature(s, true), before);
  // Another format's word does not enter.
  before = SettingsSignature(s, true);
  s.SaveFlags[35] = 50;
  EXPECT_EQ(SettingsSignature(s, true), before);
}

// An option that changes what an output is changes the signature, and each one alone
// does (none cancels another); the ones that only decide where outputs go or whether an
// existing file is written over leave it as it is, so done outputs stay done.
TEST(SettingsSignature, TreeOptionsThatChangeAnOutput) {
  AppSettings s = Defaults();
  s.KeepDates = 0;
  uint32_t base = SettingsSignature(s, true);
  AppSettings dates = s, smaller = s, both = s;
  dates.KeepDates = 1;
  smaller.KeepIfSmaller = 1;
  both.KeepDates = both.KeepIfSmaller = 1;
  uint32_t seen[] = {base, SettingsSignature(dates, true), SettingsSignature(smaller, true), SettingsSignature(both, true)};
  for (int i = 0; i < 4; ++i)
    for (int k = i + 1; k < 4; ++k) EXPECT_NE(seen[i], seen[k]) << i << " " << k;
  AppSettings placing = s;
  placing.Recursive = 1;
  placing.ExistingFiles = kExistingCounter;
  EXPECT_EQ(SettingsSignature(placing, true), base);
}

}  // namespace
