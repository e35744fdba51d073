#include <gtest/gtest.h>

#include "app/batch_options.h"
#include "app/console_text.h"
#include "engine/run/convert_errors.h"
#include "settings/defaults.h"
#include "settings/signature.h"

namespace {

AppSettings Defaults() {
  AppSettings s{};
  ApplyDefaultSettings(&s, u"/p");
  return s;
}

bool Parse(std::vector<std::string> args, BatchOptions* out, std::string* reason = nullptr) {
  std::string ignored;
  return ParseBatchArgs(args, out, reason ? reason : &ignored);
}

TEST(BatchOptions, OverridesChangeTheRecordAsThePagesWould) {
  BatchOptions o;
  ASSERT_TRUE(Parse({"--format", "webp", "--quality", "70", "--lossless", "on", "--resize", "percent", "--percent",
                     "5000", "--size", "0", "--enlarge", "--out-mode", "folder", "--out-dir", "/tmp/out",
                     "--subfolder", "Вывод", "--filter", "jpg,png", "a.jpg", "--", "--odd.png"},
                    &o));
  AppSettings s = Defaults();
  ApplyOverrides(o, &s);
  EXPECT_EQ(FieldView(s.TargetFormat), u"WEBP");
  EXPECT_EQ(s.FormatId, 35);
  EXPECT_EQ(s.SaveFlags[35], 70 | 0x100);
  EXPECT_EQ(s.ResizeMode, 2);
  EXPECT_EQ(s.ScalePercent, 1000);
  EXPECT_EQ(s.TargetSize, 1);
  EXPECT_EQ(s.NoEnlarge, 0);
  EXPECT_EQ(s.OutputMode, 0);
  EXPECT_EQ(FieldView(s.OutputFolder), u"/tmp/out");
  EXPECT_EQ(FieldView(s.SubfolderName), u"Вывод");
  EXPECT_EQ(FieldView(s.CurrentFilter), u"jpg,png");
  ASSERT_EQ(o.paths.size(), 2u);
  EXPECT_EQ(o.paths[1], u"--odd.png");
}

// The folder-tree flags, the last one given winning, as the window's boxes would set them.
TEST(BatchOptions, TreeFlags) {
  struct Row {
    std::vector<std::string> args;
    int32_t recursive, keepDates, existing, keepIfSmaller = 0;
  } rows[] = {
      {{}, 0, 1, kExistingReplace},
      {{"--recursive"}, 1, 1, kExistingReplace},
      {{"--recursive", "--no-recursive"}, 0, 1, kExistingReplace},
      {{"--no-recursive", "--recursive", "a"}, 1, 1, kExistingReplace},
      {{"--keep-dates", "off", "--existing", "counter"}, 0, 0, kExistingCounter},
      {{"--existing", "counter", "--existing", "skip", "--keep-dates", "on"}, 0, 1, kExistingSkip},
      {{"--keep-if-smaller", "on"}, 0, 1, kExistingReplace, 1},
      {{"--keep-if-smaller", "on", "--keep-if-smaller", "off"}, 0, 1, kExistingReplace, 0},
  };
  for (const Row& row : rows) {
    BatchOptions o;
    ASSERT_TRUE(Parse(row.args, &o));
    AppSettings s = Defaults();
    ApplyOverrides(o, &s);
    EXPECT_EQ(s.Recursive, row.recursive) << row.args.size();
    EXPECT_EQ(s.KeepDates, row.keepDates) << row.args.size();
    EXPECT_EQ(s.ExistingFiles, row.existing) << row.args.size();
    EXPECT_EQ(s.KeepIfSmaller, row.keepIfSmaller) << row.args.size();
  }
  std::string reason;
  BatchOptions o;
  EXPECT_FALSE(Parse({"--existing", "overwrite"}, &o, &reason));
  EXPECT_EQ(reason, "wrong value for --existing: overwrite");
  EXPECT_FALSE(Parse({"--keep-dates"}, &o, &reason));
}

TEST(BatchOptions, JpegAndPngBits) {
  BatchOptions o;
  ASSERT_TRUE(Parse({"--progressive", "off", "--strip", "on", "--quality", "60", "--format", "png", "--palette", "on"}, &o));
  AppSettings s = Defaults();
  ApplyOverrides(o, &s);
  // --quality belongs to the target given later on the line, and leaves the palette bit.
  EXPECT_EQ(s.SaveFlags[2], 0x40000 | 84);
  EXPECT_EQ(s.SaveFlags[13], 0x80000 | 60);
  EXPECT_EQ(s.FormatId, 13);
}

TEST(BatchOptions, OrderOfOptionsNeverChangesTheResult) {
  std::vector<std::vector<std::string>> orders = {
      {"--format", "png", "--palette", "on", "--quality", "9"},
      {"--palette", "on", "--quality", "9", "--format", "png"},
      {"--quality", "9", "--format", "png", "--palette", "on"},
  };
  for (const auto& order : orders) {
    BatchOptions o;
    ASSERT_TRUE(Parse(order, &o));
    AppSettings s = Defaults();
    ApplyOverrides(o, &s);
    EXPECT_EQ(s.SaveFlags[13], 0x80000 | 9) << order[0];
    EXPECT_EQ(s.SaveFlags[2], 8276) << order[0];
  }
  BatchOptions o;
  ASSERT_TRUE(Parse({"--quality", "50", "--format", "webp"}, &o));
  AppSettings s = Defaults();
  ApplyOverrides(o, &s);
  EXPECT_EQ(s.SaveFlags[35], 50);
  EXPECT_EQ(s.SaveFlags[2], 8276);
}

TEST(BatchOptions, UnknownFormatNameKeepsIdInStep) {
  BatchOptions o;
  ASSERT_TRUE(Parse({"--format", "jpgxyz", "--quality", "50"}, &o));
  AppSettings s = Defaults();
  ApplyOverrides(o, &s);
  EXPECT_EQ(FieldView(s.TargetFormat), u"JPGXY");
  EXPECT_EQ(s.FormatId, -1);
  EXPECT_EQ(s.SaveFlags[2], 8276) << "no word belongs to an unknown format";
}

TEST(BatchOptions, WrongFlagsAndValuesGiveAReason) {
  const std::vector<std::vector<std::string>> bad = {
      {"--bogus"}, {"--quality"}, {"--quality", "0"}, {"--quality", "abc"}, {"--side", "diagonal"},
      {"--resize", "Px"}, {"--size", "-5"}, {"--on-error", "maybe"}, {"--progressive", "yes"},
      {"--jobs", "0"}, {"--jobs", "65"}, {"--jobs"}, {"--shrink-on-load", "maybe"},
  };
  for (const auto& args : bad) {
    BatchOptions o;
    std::string reason;
    EXPECT_FALSE(Parse(args, &o, &reason)) << args[0];
    EXPECT_FALSE(reason.empty());
    EXPECT_EQ(reason.find('\n'), std::string::npos);
  }
}

// The colour options are settings of the record (so --save and --add-profile keep them);
// a colour is six hex digits and nothing that merely looks like one.
TEST(BatchOptions, ColourOptionsSetTheirWords) {
  struct Row {
    std::vector<std::string> args;
    int32_t toSrgb;
    int32_t background;
  } rows[] = {
      {{"--to-srgb", "on", "--background", "1a2B3c"}, 1, 0x011A2B3C},
      {{"--background", "000000"}, 0, 0x01000000},  // black, which a stored 0 could not say
      {{"--background", "FFFFFF", "--to-srgb", "off"}, 0, 0x01FFFFFF},
      {{"--to-srgb", "on", "--to-srgb", "off"}, 0, 0},
  };
  for (const Row& row : rows) {
    BatchOptions o;
    ASSERT_TRUE(Parse(row.args, &o)) << row.args[1];
    EXPECT_EQ(o.overrides.size(), row.args.size() / 2);
    AppSettings s = Defaults();
    ApplyOverrides(o, &s);
    EXPECT_EQ(s.ToSrgb, row.toSrgb) << row.args[1];
    EXPECT_EQ(s.Background, row.background) << row.args[1];
  }
  const std::vector<std::vector<std::string>> bad = {
      {"--background", "#1A2B3C"}, {"--background", "0x1A2B3C"}, {"--background", "1A2B3"},
      {"--background", "1A2B3C4"}, {"--background", "1A2B3G"},   {"--background", ""},
      {"--background", " 1A2B3C"}, {"--background", "-1A2B3"},   {"--background"},
      {"--to-srgb", "yes"},        {"--to-srgb", "ON"},          {"--to-srgb"},
  };
  for (const auto& args : bad) {
    BatchOptions o;
    std::string reason;
    std::string shown = args.size() > 1 ? args[1] : "(none)";
    EXPECT_FALSE(Parse(args, &o, &reason)) << args[0] << " " << shown;
    EXPECT_NE(reason.find(args[0]), std::string::npos) << reason;
    EXPECT_EQ(reason.find('\n'), std::string::npos) << reason;
  }
}

// How a run converts is no setting: it never reaches the record or its signature, so
// files converted with other --jobs are still skipped as up to date.
TEST(BatchOptions, JobsAndShrinkOnLoadLeaveTheSettingsAlone) {
  BatchOptions o;
  ASSERT_TRUE(Parse({"--jobs", "3", "--shrink-on-load", "off", "a.jpg"}, &o));
  EXPECT_EQ(o.jobs, 3);
  EXPECT_FALSE(o.shrinkOnLoad);
  EXPECT_TRUE(o.overrides.empty());
  BatchOptions plain;
  ASSERT_TRUE(Parse({"a.jpg"}, &plain));
  EXPECT_EQ(plain.jobs, 0);
  EXPECT_TRUE(plain.shrinkOnLoad);
}

TEST(BatchOptions, ListingFollowsTheRecord) {
  AppSettings s = Defaults();
  std::string listing = SettingsListing(s);
  EXPECT_EQ(listing.rfind("ProfileCount=0\n", 0), 0u);
  // AVIF's word (quality 60, speed 6) and JPEG XL's (quality 90, transcoding, effort 7).
  EXPECT_NE(listing.find("\nSaveFlags[2]=8276\nSaveFlags[35]=90\nExtraFlags[0]=24636\nExtraFlags[1]=29274\nCurrentFilter=\n"),
            std::string::npos);
  EXPECT_EQ(listing.find("SaveFlags[13]"), std::string::npos);
  EXPECT_NE(listing.find("\nOutputFolder=/p/TessalyOut/\n"), std::string::npos);
  EXPECT_NE(listing.find("\nSettingsSignature=" + std::to_string(SettingsSignature(s, true)) + "\n"),
            std::string::npos);
  EXPECT_EQ(listing.find("Reserved"), listing.find("ReservedOption"));
  // The colour as --background takes it: a stored 0 (an earlier release's file) is white.
  EXPECT_NE(listing.find("\nFormatId=2\nToSrgb=0\nBackground=FFFFFF\nRecursive=0\nKeepDates=1\nExistingFiles=0\n"
                         "KeepIfSmaller=0\nSaveFlags[2]="),
            std::string::npos)
      << listing;
  s.ToSrgb = 1;
  s.Background = StoredBackground(0x00A0FF);
  listing = SettingsListing(s);
  EXPECT_NE(listing.find("\nToSrgb=1\nBackground=00A0FF\n"), std::string::npos) << listing;
}

}  // namespace

namespace {

// A profile made on the command line is activated by caption before the overrides, an
// unknown caption is refused with the captions there are, and a new one is numbered on.
TEST(BatchProfiles, ActivateBeforeOverridesAddAfterThem) {
  AppSettings s = Defaults();
  MemoryProfileList profiles;
  BatchOptions make;
  std::string reason;
  ASSERT_TRUE(Parse({"--format", "webp", "--quality", "70", "--add-profile", "Web 70"}, &make));
  ASSERT_TRUE(ApplyProfileOptions(make, &profiles, &s, &reason));
  ASSERT_EQ(profiles.Count(), 1);
  EXPECT_EQ(profiles.At(0)->Id, 1);

  AppSettings later = Defaults();
  later.LastProfileId = s.LastProfileId;
  BatchOptions use;
  ASSERT_TRUE(Parse({"--profile", "Web 70", "--quality", "60", "--add-profile", "Web 60", "--list-profiles"}, &use));
  ASSERT_TRUE(ApplyProfileOptions(use, &profiles, &later, &reason));
  EXPECT_EQ(FieldView(later.TargetFormat), u"WEBP");
  EXPECT_EQ(later.FormatId, 35);
  EXPECT_EQ(later.SaveFlags[35], 60);  // the override lands on the profile's format
  EXPECT_EQ(later.ActiveProfileId, 1);
  ASSERT_EQ(profiles.Count(), 2);
  EXPECT_EQ(profiles.At(1)->Id, 2);
  EXPECT_EQ(ProfileListing(profiles, later), "1 * Web 70\n2   Web 60\n");

  BatchOptions unknown;
  ASSERT_TRUE(Parse({"--profile", "Print"}, &unknown));
  EXPECT_FALSE(ApplyProfileOptions(unknown, &profiles, &later, &reason));
  EXPECT_NE(reason.find("\"Print\""), std::string::npos);
  EXPECT_NE(reason.find("Web 60"), std::string::npos);
}

// The window's questions break lines with CR LF; a terminal or a log on Linux must not
// get stray carriage returns.
TEST(BatchConsole, LinesEndInLineFeedsAlone) {
  std::string shown = ConsoleText(ConvertErrorText(19, u"a.png", u"detail"));
  EXPECT_EQ(shown.find('\r'), std::string::npos) << shown;
  EXPECT_NE(shown.find("a.png\nФайл повреждён - Error: 19\ndetail\n"), std::string::npos) << shown;
}

}  // namespace
