#include <gtest/gtest.h>

#include "base/paths.h"
#include "base/text.h"
#include "base/utils.h"
#include "tests/test_support.h"

#include <sys/stat.h>

namespace {

TEST(FormatByteSize64, UnitsAndBoundaries) {
  struct Row {
    uint64_t bytes;
    const char16_t* text;
  } rows[] = {
      {0, u"0 B"},
      {512, u"512 B"},
      {1023, u"1023 B"},
      {1024, u"1.00 K"},
      {1536, u"1.50 K"},
      {1048576, u"1024.00 K"},
      {1048577, u"1.00 M"},
      {1300000, u"1.24 M"},
      {1073741824, u"1024.00 M"},
      {1073741825, u"1.00 G"},
      {4294967295u, u"4.00 G"},
  };
  for (const auto& row : rows) EXPECT_EQ(FormatByteSize64(row.bytes), row.text) << row.bytes;
}

TEST(MessageBoxKinds, StyleWordsAreTopmost) {
  const uint32_t expected[] = {0x40000, 0x40040, 0x40030, 0x40020, 0x40010, 0x40044, 0x40024, 0x40034};
  for (int kind = 0; kind < 8; ++kind) EXPECT_EQ(MessageBoxStyle(kind), expected[kind]) << kind;
  EXPECT_EQ(MessageBoxStyle(8), 0x40000u);
  EXPECT_EQ(MessageBoxStyle(-1), 0x40000u);
  EXPECT_TRUE(MessageBoxHasYesNo(6));
  EXPECT_FALSE(MessageBoxHasYesNo(4));
}

TEST(Paths, TrailingSeparatorRule) {
  EXPECT_EQ(WithTrailingBackslash(u"/a"), u"/a/");
  EXPECT_EQ(WithTrailingBackslash(u"/a/"), u"/a/");
  EXPECT_EQ(WithTrailingBackslash(u""), u"/");
}

TEST(Paths, SplitFolderAndName) {
  PathParts p = SplitPath(u"/pics/archive.tar.png");
  EXPECT_EQ(p.folder, u"/pics/");
  EXPECT_EQ(p.name, u"archive.tar.png");
  p = SplitPath(u"bare.png");
  EXPECT_EQ(p.folder, u"");
  EXPECT_EQ(p.name, u"bare.png");
  p = SplitPath(u"/" + Text(260, u'a'));
  EXPECT_EQ(p.folder, u"");
  EXPECT_EQ(p.name, u"");
  p = SplitPath(u"/" + Text(259, u'a'));
  EXPECT_EQ(p.folder, u"/");
}

TEST(Directories, IsDirectoryAnswers16ForFoldersOnly) {
  ScratchFolder dir;
  dir.Write("f.txt", "x");
  EXPECT_EQ(IsDirectory(dir.Path()), 16);
  EXPECT_EQ(IsDirectory(dir.Path("f.txt")), 0);
  EXPECT_EQ(IsDirectory(dir.Path("none")), 0);
  EXPECT_EQ(IsDirectory(u""), 0);
}

TEST(SpecialFolder, PicturesFromXdgOrHome) {
  ScratchFolder home;
  std::string oldHome = getenv("HOME") ? getenv("HOME") : "";
  const char* oldXdg = getenv("XDG_CONFIG_HOME");
  std::string savedXdg = oldXdg ? oldXdg : "";
  setenv("HOME", home.path().c_str(), 1);
  unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(GetSpecialFolder(kCsidlMyPictures), TextFromUtf8(home.path() + "/Pictures"));
  ::mkdir((home.path() + "/.config").c_str(), 0755);
  home.Write(".config/user-dirs.dirs", "XDG_DESKTOP_DIR=\"$HOME/Desktop\"\nXDG_PICTURES_DIR=\"$HOME/Изображения\"\n");
  EXPECT_EQ(GetSpecialFolder(kCsidlMyPictures), TextFromUtf8(home.path() + "/Изображения"));
  EXPECT_EQ(GetSpecialFolder(5), u"");
  setenv("HOME", oldHome.c_str(), 1);
  if (oldXdg) setenv("XDG_CONFIG_HOME", savedXdg.c_str(), 1);
}

TEST(Text, Utf8RoundTripAndCaseMapping) {
  Text t = u"Всего: Ёж a.JPG \U0001F600";
  EXPECT_EQ(TextFromUtf8(TextToUtf8(t)), t);
  EXPECT_EQ(ToLower(u"ВСЕГО Ё A.JPG"), u"всего ё a.jpg");
  EXPECT_EQ(ToUpper(u"webp"), u"WEBP");
  EXPECT_TRUE(EqualsNoCase(u"/P/A.JPG", u"/p/a.jpg"));
  EXPECT_FALSE(EqualsNoCase(u"/p/a.jpg", u"/p/a.jpeg"));
  EXPECT_EQ(NumberWithBlank(5), u" 5");
  EXPECT_EQ(NumberWithBlank(-3), u"-3");
  EXPECT_EQ(TextToAnsi(u"Ошибка x"), "\xCE\xF8\xE8\xE1\xEA\xE0 x");
}

}  // namespace
