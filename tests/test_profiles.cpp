#include <gtest/gtest.h>

#include <cstring>

#include "settings/params_rules.h"
#include "settings/profiles.h"
#include "settings/defaults.h"

namespace {

AppSettings Defaults() {
  AppSettings s{};
  ApplyDefaultSettings(&s, u"/p");
  return s;
}

struct CaptionRow {
  const char16_t* format;
  int32_t mode;
  bool noEnlarge;
  const char16_t* size;
  const char16_t* percent;
  int32_t formatId;
  int32_t word;
  const char16_t* expected;
};

TEST(ProfileCaption, EveryExampleAndTheOptionTexts) {
  const CaptionRow rows[] = {
      {u"JPG", 0, false, u"2000", u"50", 2, 0x2054, u"JPG(Q:84); Не изменять размер"},
      {u"JPG", 1, true, u"2000", u"50", 2, 0x2054, u"JPG(Q:84); Расчёт в пикселах; Длинная сторона:<2000px"},
      {u"JPG", 1, false, u"2000", u"50", 2, 0x2054, u"JPG(Q:84); Расчёт в пикселах; Длинная сторона:2000px"},
      {u"PNG", 2, false, u"2000", u"50", 13, 0x80009, u"PNG(C:255); Расчёт в процентах; 50%"},
      {u"PNG", 0, false, u"2000", u"50", 13, 9, u"PNG; Не изменять размер"},
      // The lossless bit is a named flag, not part of the quality.
      {u"WEBP", 0, false, u"", u"", 35, 90 | 0x100, u"WEBP(Q:90); Не изменять размер"},
      // No quality shown for a word of 0, and none for formats without one.
      {u"JPG", 0, false, u"", u"", 2, 0x2000, u"JPG; Не изменять размер"},
      {u"GIF", 0, false, u"", u"", 25, 84, u"GIF; Не изменять размер"},
  };
  for (const CaptionRow& row : rows) {
    CaptionSource source;
    source.targetFormat = row.format;
    source.resizeMode = row.mode;
    source.modeText = ResizeModeText(row.mode);
    source.sideText = ResizeSideText(1);
    source.noEnlarge = row.noEnlarge;
    source.sizeText = row.size;
    source.percentText = row.percent;
    source.formatId = row.formatId;
    source.flagWord = row.word;
    EXPECT_EQ(ProfileCaption(source), Text(row.expected)) << TextToUtf8(row.expected);
  }
}

// 63 units are kept before the trailing blanks and semicolons go, so a cut that ends on
// "; " loses those too.
TEST(ProfileCaption, CutAt63BeforeTrailingSeparatorsGo) {
  CaptionSource source;
  source.targetFormat = u"WEBP";
  source.resizeMode = 1;
  source.modeText = ResizeModeText(1);
  source.sideText = u"Короткая сторона";
  source.noEnlarge = true;
  source.sizeText = u"1234567890123456789999";  // the box's text counts only its first 19 units
  source.formatId = kFormatWebp;
  source.flagWord = 100;
  Text caption = ProfileCaption(source);
  EXPECT_EQ(caption, u"WEBP(Q:100); Расчёт в пикселах; Короткая сторона:<1234567890123");
  EXPECT_EQ(caption.size(), 63u);

  // 40 + "(Q:100)" + "; " + 12 + "; " is exactly 63: the size text is cut away whole and
  // the "; " before it goes with the trailing separators.
  Text format(40, u'F');
  Text mode(12, u'm');
  source.targetFormat = format;
  source.modeText = mode;
  EXPECT_EQ(ProfileCaption(source), format + u"(Q:100); " + mode);
  // Cut inside the option text.
  Text longFormat(60, u'F');
  source.targetFormat = longFormat;
  EXPECT_EQ(ProfileCaption(source), longFormat + u"(Q:");
}

TEST(ProfileCaption, CommandLineCaptionUsesTheSettingsNumbers) {
  AppSettings s = Defaults();
  s.ResizeMode = 1;
  s.TargetSize = 1600;
  s.ResizeSide = 3;
  EXPECT_EQ(ProfileCaptionFor(s), u"JPG(Q:84); Расчёт в пикселах; Ширина:<1600px");
}

TEST(ParamsBoxes, TypedNumbersAreCleanedAndClamped) {
  struct Row {
    const char16_t* typed;
    int32_t max;
    int32_t value;
    bool limited;
  } rows[] = {
      {u"0", 10000, 1, true},         {u"25000", 10000, 10000, true}, {u"12a5", 10000, 125, false},
      {u"", 10000, 1, true},          {u"abc", 1000, 1, true},        {u"1000", 1000, 1000, false},
      {u"99999999999999999999", 1000, 1000, true}, {u"007", 1000, 7, false},
  };
  for (const Row& row : rows) {
    TypedNumber n = TakeTypedNumber(row.typed, row.max);
    EXPECT_EQ(n.value, row.value) << TextToUtf8(row.typed);
    EXPECT_EQ(n.limited, row.limited) << TextToUtf8(row.typed);
  }
  EXPECT_EQ(FormatBoxName(u""), u"JPG");
  EXPECT_EQ(FormatBoxName(u"webp"), u"WEBP");
}

TEST(ProfileOperations, AddSaveIntoActivateAndFind) {
  AppSettings s = Defaults();
  MemoryProfileList list;
  EXPECT_EQ(AddProfile(&list, u"", &s), -1);
  EXPECT_EQ(AddProfile(&list, u"same", &s), 0);
  s.ResizeMode = 2;
  SetField(s.TargetFormat, u"WEBP");
  EXPECT_EQ(AddProfile(&list, u"same", &s), 1);
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(list.At(0)->Id, 1);
  EXPECT_EQ(list.At(1)->Id, 2);
  EXPECT_EQ(s.ProfileCount, 2);
  EXPECT_EQ(s.ActiveProfileId, 0);  // adding does not activate

  // An empty caption keeps the caption and Id; the settings are replaced.
  s.ResizeMode = 1;
  ASSERT_TRUE(SaveSettingsIntoProfile(&list, 0, u"", s));
  EXPECT_EQ(FieldView(list.At(0)->Caption), u"same");
  EXPECT_EQ(list.At(0)->Id, 1);
  AppSettings target = Defaults();
  ASSERT_TRUE(ActivateProfileRecord(list.At(0), &target));
  EXPECT_EQ(target.ResizeMode, 1);
  EXPECT_EQ(target.ToSrgb, 0);
  EXPECT_EQ(target.Background, 0);
  EXPECT_EQ(FieldView(target.TargetFormat), u"WEBP");
  EXPECT_EQ(target.ActiveProfileId, 1);
  EXPECT_FALSE(SaveSettingsIntoProfile(&list, 5, u"x", s));

  // The colour options belong to the profile: saved into it, they come back with it.
  s.ToSrgb = 1;
  s.Background = StoredBackground(0xFF8000);
  ASSERT_TRUE(SaveSettingsIntoProfile(&list, 1, u"", s));
  ASSERT_TRUE(ActivateProfileRecord(list.At(1), &target));
  EXPECT_EQ(target.ToSrgb, 1);
  EXPECT_EQ(BackgroundRgb(target), 0xFF8000u);
  ASSERT_TRUE(ActivateProfileRecord(list.At(0), &target));
  EXPECT_EQ(target.ToSrgb, 0);
  EXPECT_EQ(BackgroundRgb(target), 0xFFFFFFu);

  ProfileRecord unnumbered{};
  EXPECT_FALSE(ActivateProfileRecord(&unnumbered, &target));
  EXPECT_FALSE(ActivateProfileRecord(nullptr, &target));
  EXPECT_EQ(target.ActiveProfileId, 1);

  EXPECT_EQ(ActiveProfilePosition(list, 2), 1);
  EXPECT_EQ(ActiveProfilePosition(list, 77), 0);
  EXPECT_EQ(FindProfileByCaption(list, u"same"), 0);
  EXPECT_EQ(FindProfileByCaption(list, u"other"), -1);
  list.Delete(0);
  EXPECT_EQ(ActiveProfilePosition(list, 1), 0);
  EXPECT_EQ(FindProfileById(list, 1), -1);
  EXPECT_EQ(FindProfileById(list, 2), 0);
  EXPECT_EQ(list.At(0)->Id, 2);
}

TEST(ProfileMenu, EntriesFollowSelectionActiveItemAndCount) {
  EXPECT_TRUE(ProfileMenuItems(-1, u"", -1, 0).empty());
  auto noSelection = ProfileMenuItems(-1, u"", 0, 2);
  ASSERT_EQ(noSelection.size(), 3u);
  EXPECT_EQ(noSelection[0].command, kProfileCmdDeleteAll);
  EXPECT_EQ(noSelection[1].command, 0);
  EXPECT_EQ(noSelection[2].command, kProfileCmdCancel);
  auto onActive = ProfileMenuItems(1, u"b", 1, 2);
  ASSERT_EQ(onActive.size(), 5u);
  EXPECT_EQ(onActive[0].text, u"Сохранить текущие настройки в выделенный пункт: b");
  EXPECT_EQ(onActive[1].text, u"Удалить выделенный пункт: b");
  auto onOther = ProfileMenuItems(0, u"a", 1, 2);
  ASSERT_EQ(onOther.size(), 6u);
  EXPECT_EQ(onOther[1].command, kProfileCmdActivate);
  EXPECT_EQ(onOther[1].text, u"Активировать выделенный пункт: a");
}

}  // namespace
