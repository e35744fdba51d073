// Inputs an attacker or a careless user would try: odd bytes in names, settings that
// collide, names at the length limit. Each case once broke a run or its results.
#include <unistd.h>

#include <filesystem>

#include "app/batch_run.h"
#include "tests/conversion_fixture.h"

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
