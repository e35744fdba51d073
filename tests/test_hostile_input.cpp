// Inputs an attacker or a careless user would try: odd bytes in names, settings that
// collide, names at the length limit. Each case once broke a run or its results.
#include <unistd.h>

#include <filesystem>

#include "app/batch_run.h"
#include "engine/run/convert_errors.h"
#include "tests/conversion_fixture.h"
#include "settings/signature.h"

namespace {

TEST(StrictUtf8, IllFormedBytesKeepTheirOwnValueAndNeverBecomeSeparators) {
  struct Row {
    std::string bytes;
    Text text;  // what the bytes decode to
  } rows[] = {
      {"a/b", u"a/b"},
      {"\xD0\x9F", u"П"},
      {"\xF0\x9F\x98\x80", u"\U0001F600"},
      // Overlong '/' and NUL, an encoded surrogate, a value above U+10FFFF, a cut-off
      // sequence, a stray continuation byte: every byte stands for itself.
      {"\xC0\xAF", u"\xDCC0\xDCAF"},
      {"\xC0\x80", u"\xDCC0\xDC80"},
      {"\xE0\x80\xAF", u"\xDCE0\xDC80\xDCAF"},
      {"\xED\xA0\x80", u"\xDCED\xDCA0\xDC80"},
      {"\xF4\x90\x80\x80", u"\xDCF4\xDC90\xDC80\xDC80"},
      {"\xE2\x82", u"\xDCE2\xDC82"},
      {"\x80z", u"\xDC80z"},
  };
  for (const Row& row : rows) {
    Text decoded = TextFromUtf8(row.bytes);
    EXPECT_EQ(decoded, row.text) << row.bytes;
    EXPECT_EQ(TextToUtf8(decoded), row.bytes) << row.bytes;
  }
}

TEST(StrictUtf8, DisplayTextKeepsOneLine) {
  EXPECT_EQ(DisplayText(u"a\nb\r.png"), u"a\u240Ab\u240D.png");
  EXPECT_EQ(DisplayText(TextFromUtf8("x\xC0.png")), u"x\uFFFD.png");
  EXPECT_EQ(DisplayText(u"Фото \U0001F600.jpg"), u"Фото \U0001F600.jpg");
}

class HostileRun : public testing::Test {
 protected:
  void SetUp() override {
    ResetConversion(scratch);
    gRunState = kRunIdle;
    gAppSettings.OutputMode = 2;
    gAppSettings.ClearListOnAdd = 8;
    gFakeCtrlHeld = true;
    ASSERT_NE(::getcwd(old_, sizeof old_), nullptr);
    ASSERT_EQ(::chdir(scratch.path().c_str()), 0);
  }
  void TearDown() override { ASSERT_EQ(::chdir(old_), 0); }
  BatchOutcome Run(const std::vector<std::string>& args) {
    std::vector<Text> paths;
    for (const std::string& a : args) paths.push_back(TextFromUtf8(a));
    return RunBatch(paths);
  }
  ScratchFolder scratch;
  char old_[4096];
};

TEST_F(HostileRun, AnOverlongSlashInANameStaysInsideItsFolder) {
  std::filesystem::create_directories(scratch.path() + "/in/sub");
  const std::string name = "sub\xC0\xAF..\xC0\xAF..\xC0\xAF" "escape.png";
  WriteSample(scratch, "in/" + name, 8, 8);
  WriteSample(scratch, "escape.png", 8, 8);  // what the name would have reached
  BatchOutcome outcome = Run({"in"});
  EXPECT_EQ(outcome.result.converted, 1);
  EXPECT_EQ(outcome.result.failed, 0);
  EXPECT_TRUE(scratch.Exists("in/sub\xC0\xAF..\xC0\xAF..\xC0\xAF" "escape_c.jpg"));
  EXPECT_FALSE(scratch.Exists("escape_c.jpg"));
}

}  // namespace

namespace {

TEST(HostileNames, ProgressAndQuestionStayOnTheirLines) {
  EXPECT_EQ(ProgressText(0, 2, 0, u"a\nb.png"), u"Пропущен: ( 1/ 2)  Имя: a\u240Ab.png");
  Text question = ConvertErrorText(kErrorReadToBuffer, u"a\r\nb.png");
  EXPECT_EQ(question.substr(0, question.find(u"\r\n")), u"a\u240D\u240Ab.png");
}

}  // namespace

namespace {

class HostileSettings : public ConversionTest {};

// --out-mode suffix --size 8294 with the defaults: the signature is 0, which new entries
// carry as "not converted".
TEST_F(HostileSettings, SettingsWhoseSignatureIsZeroStillConvertThenSkip) {
  gAppSettings.TargetSize = 8294;
  gAppSettings.KeepDates = 0;  // the XOR of an earlier release's fields alone
  ASSERT_EQ(SettingsSignature(gAppSettings, true), 0u);
  WriteSample(scratch, "a.png", 8, 8);
  scratch.Write("a_c.jpg", "an older result");
  AddEntry(scratch, "a.png");
  RunResult first = RunConversion();
  EXPECT_EQ(first.converted, 1);
  EXPECT_NE(scratch.Read("a_c.jpg"), "an older result");
  EXPECT_NE(FileListStamp(0), 0u);
  RunResult second = RunConversion();
  EXPECT_EQ(second.skipped, 1);
}

}  // namespace

namespace {

TEST_F(HostileRun, AQuoteInAnArgumentIsPartOfTheName) {
  std::filesystem::create_directory(scratch.path() + "/q");
  WriteSample(scratch, "q/x.png", 8, 8);
  BatchOutcome outcome = Run({"q/x.png\"", "\"q/x.png"});
  // x.png" has no accepted extension; "q/x.png names a folder '"q' that is not there.
  EXPECT_EQ(outcome.result.converted, 0);
  EXPECT_FALSE(scratch.Exists("q/x_c.jpg"));
}

}  // namespace

namespace {

TEST_F(HostileSettings, TwoSourcesOfOneOutputNameKeepTheFirstResult) {
  SetTarget(u"WEBP");
  WriteSample(scratch, "photo.png", 8, 8);
  WriteSample(scratch, "photo.gif", 9, 9, SampleKind::Palette8, kFormatGif);
  WriteSample(scratch, "photo.jpeg", 10, 10, SampleKind::Rgb24, kFormatJpeg);
  for (const char* name : {"photo.png", "photo.gif", "photo.jpeg"}) AddEntry(scratch, name);
  RunResult result = RunConversion();
  EXPECT_EQ(result.converted, 1);
  EXPECT_EQ(result.failed, 2);
  EXPECT_EQ(OpenResult(scratch, "photo_c.webp").width, 8u);
  ASSERT_EQ(gShownBoxes.size(), 2u);
  EXPECT_EQ(BoxReason(0), u"Результат с этим именем уже записан в этом запуске - Error: 15");
  EXPECT_NE(gShownBoxes[0].text.find(scratch.Path("photo.png")), Text::npos) << "names the file that holds the name";
  // The next run finds photo.png's result up to date: still not photo.gif's to replace.
  ResetBoxes();
  result = RunConversion();
  EXPECT_EQ(result.skipped, 1);
  EXPECT_EQ(result.failed, 2);
}

TEST_F(HostileSettings, ANameNearTheLengthLimitIsWritten) {
  std::string name;
  for (int i = 0; i < 118; ++i) name += "Ж";  // 236 bytes: with "_c.jpg" 242 of the 255 a name may have
  WriteSample(scratch, name + ".png", 8, 8);
  AddEntry(scratch, name + ".png");
  EXPECT_EQ(RunConversion().converted, 1);
  EXPECT_TRUE(scratch.Exists(name + "_c.jpg"));
}

TEST_F(HostileSettings, FailuresNameTheFileAndTheCause) {
  // A valid picture may be tiny; only a file that holds nothing stops before the decoder.
  scratch.Write("empty.gif", "");
  AddEntry(scratch, "empty.gif");
  EXPECT_EQ(RunConversion().failed, 1);
  ASSERT_EQ(gShownBoxes.size(), 1u);
  EXPECT_NE(gShownBoxes[0].text.find(u"(0 байт)"), Text::npos) << TextToUtf8(gShownBoxes[0].text);
  FileListClear();
  WriteSample(scratch, "a.png", 8, 8);
  AddEntry(scratch, "a.png");
  // Mode 0 with a folder that cannot exist: its parent is a file.
  scratch.Write("plain-file", "x");
  gAppSettings.OutputMode = 0;
  SetField(gAppSettings.OutputFolder, scratch.Path("plain-file/out"));
  EXPECT_EQ(RunConversion().failed, 1);
  ASSERT_EQ(gShownBoxes.size(), 2u);
  EXPECT_EQ(BoxReason(1), u"Ошибка записи файла - Error: 10");
  EXPECT_NE(gShownBoxes[1].text.find(scratch.Path("plain-file/out/a.jpg") + u": Not a directory"), Text::npos)
      << TextToUtf8(gShownBoxes[1].text);
  // A folder that cannot take the file is found before the picture is decoded.
  for (const Text& line : gFakeStatusHistory) EXPECT_EQ(line.find(u"Выполняется"), Text::npos);
}

TEST_F(HostileSettings, PicturesBeyondTheBudgetAreRefusedBeforeDecoding) {
  for (const char* name : {"huge_header.bmp", "huge_header.pcx"}) {
    scratch.Write(name, ReadTestData(std::string("hostile/") + name));
    AddEntry(scratch, name);
  }
  // 100 x 100 at 1000 % is small; 5000 x 5000 at 1000 % would be 2500 megapixels.
  WriteSample(scratch, "big.png", 5000, 5000, SampleKind::Grey8);
  AddEntry(scratch, "big.png");
  gAppSettings.ResizeMode = 2;
  gAppSettings.ScalePercent = 1000;
  RunResult result = RunConversion();
  EXPECT_EQ(result.failed, 3);
  ASSERT_EQ(gShownBoxes.size(), 3u);
  for (size_t i = 0; i < 3; ++i) EXPECT_EQ(BoxReason(i), u"Изображение слишком велико - Error: 18");
  EXPECT_NE(gShownBoxes[0].text.find(u"262192 × 16417"), Text::npos) << TextToUtf8(gShownBoxes[0].text);
  EXPECT_NE(gShownBoxes[2].text.find(u"после изменения: 50000 × 50000"), Text::npos) << TextToUtf8(gShownBoxes[2].text);
}

TEST_F(HostileRun, PathsLongerThanTheLimitAreNamedAndCountedAsFailed) {
  std::string deep = "d";
  while (scratch.path().size() + deep.size() < 262) deep += "/" + std::string(40, 'x');
  std::filesystem::create_directories(scratch.path() + "/" + deep);
  WriteSample(scratch, deep + "/far.png", 8, 8);
  WriteSample(scratch, "near.png", 8, 8);
  BatchOutcome outcome = Run({deep + "/far.png", "near.png", deep});
  EXPECT_EQ(outcome.result.converted, 1);
  EXPECT_EQ(outcome.result.failed, 2);
  ASSERT_EQ(outcome.leftOut.size(), 2u);
  EXPECT_EQ(ExitStatus(outcome.result), 1);
  EXPECT_EQ(SummaryLine(outcome).find("not reached"), std::string::npos) << SummaryLine(outcome);
}

}  // namespace
