#include <sys/stat.h>

#include <filesystem>

#include "base/paths.h"
#include "tests/conversion_fixture.h"
#include "engine/run/convert_errors.h"
#include "settings/signature.h"

namespace {

const char16_t kAsk[] = u"Продолжить выполнение ?";

TEST(OutputPlan, ModesNamesAndBadPaths) {
  AppSettings s{};
  SetField(s.SubfolderName, u"Out");
  struct Row {
    int32_t mode;
    const char16_t* target;
    Text input;
    Text output;
    const char16_t* outputFolder;
    int32_t error;
  } rows[] = {
      {2, u"JPG", u"/pics/a.png", u"/pics/a_c.jpg", u"/pics/", 0},
      {1, u"JPG", u"/pics/a.png", u"/pics/Out/a.jpg", u"/pics/Out/", 0},
      {0, u"JPG", u"/pics/a.png", u"/res/a.jpg", u"/res/", 0},
      {2, u"JPG", u"/pics/archive.tar.png", u"/pics/archive.tar_c.jpg", u"/pics/", 0},
      {0, u"WEBP", u"/pics/README", u"/res/README.webp", u"/res/", 0},
      {1, u"png", u"/x.y/photo.JPG", u"/x.y/Out/photo.png", u"/x.y/Out/", 0},
      {2, u"JPG", u"/.hidden", u"/_c.jpg", u"/", 0},
      {2, u"JPG", u"a.png", u"", u"", kErrorEmptyInputName},
      {2, u"JPG", u"", u"", u"", kErrorEmptyInputName},
      {2, u"JPG", u"/" + Text(260, u'a'), u"", u"", kErrorEmptyInputName},
      // An output may be as long as an entry, and no longer: one of 266 units could not be
      // listed again, nor opened by programs without long-path support.
      {2, u"JPG", u"/" + Text(253, u'a'), u"/" + Text(253, u'a') + u"_c.jpg", u"/", 0},
      {2, u"JPG", u"/" + Text(254, u'a'), u"", u"", kErrorOutputTooLong},
      {2, u"JPG", u"/" + Text(259, u'a'), u"", u"", kErrorOutputTooLong},
  };
  for (const Row& row : rows) {
    s.OutputMode = row.mode;
    SetField(s.TargetFormat, row.target);
    OutputPlan plan = PlanOutput(s, row.input, u"/res/");
    EXPECT_EQ(plan.error, row.error) << TextToUtf8(row.input);
    if (row.error != 0) continue;
    EXPECT_EQ(plan.outputPath, row.output) << TextToUtf8(row.input);
    EXPECT_EQ(plan.outputFolder, row.outputFolder) << TextToUtf8(row.input);
  }
}

// A file found under a dropped folder goes, in mode 0, to its path below that folder made
// again below the output folder; given by itself, or in the other modes, it goes where it
// always went. Length counts the whole output path.
TEST(OutputPlan, TreeMirroredBelowTheOutputFolder) {
  AppSettings s{};
  SetField(s.SubfolderName, u"Out");
  SetField(s.TargetFormat, u"JPG");
  Text top = u"/Photos/";
  auto root = static_cast<int32_t>(top.size());
  struct Row {
    int32_t mode;
    Text input;
    int32_t rootUnits;
    Text output;
    int32_t error;
  } rows[] = {
      {0, u"/Photos/2024/Trip/IMG_0001.png", root, u"/res/2024/Trip/IMG_0001.jpg", 0},
      {0, u"/Photos/2025/IMG_0001.png", root, u"/res/2025/IMG_0001.jpg", 0},
      {0, u"/Photos/IMG_0001.png", root, u"/res/IMG_0001.jpg", 0},
      {0, u"/Photos/2024/Trip/IMG_0001.png", 0, u"/res/IMG_0001.jpg", 0},  // given by itself
      {1, u"/Photos/2024/Trip/IMG_0001.png", root, u"/Photos/2024/Trip/Out/IMG_0001.jpg", 0},
      {2, u"/Photos/2024/Trip/IMG_0001.png", root, u"/Photos/2024/Trip/IMG_0001_c.jpg", 0},
      // A dropped "/" joins with a doubled separator; the mirror starts below it.
      {0, u"//a/b.png", 2, u"/res/a/b.jpg", 0},
      // Below an output folder of 23 units: 231 units of folders fill 260 exactly.
      {0, u"/Photos/" + Text(231, u'd') + u"/a.png", root, u"/results/of/a/long/run/" + Text(231, u'd') + u"/a.jpg", 0},
      {0, u"/Photos/" + Text(232, u'd') + u"/a.png", root, u"", kErrorOutputTooLong},
  };
  for (const Row& row : rows) {
    s.OutputMode = row.mode;
    bool far = row.input.size() > 200;
    OutputPlan plan = PlanOutput(s, row.input, far ? u"/results/of/a/long/run/" : u"/res/", row.rootUnits);
    EXPECT_EQ(plan.error, row.error) << TextToUtf8(row.input);
    if (row.error == 0) {
      EXPECT_EQ(plan.outputPath, row.output) << TextToUtf8(row.input);
    }
  }
}

TEST(FoldersBelowRoot, Table) {
  struct Row {
    Text path;
    size_t rootUnits;
    Text folders;
  } rows[] = {
      {u"/Photos/2024/Trip/a.jpg", 8, u"2024/Trip/"},
      {u"/Photos/a.jpg", 8, u""},
      {u"/Photos/2024/a.jpg", 0, u""},       // no root
      {u"/Photos/2024/a.jpg", 18, u""},      // a root over the whole path is none
      {u"//2024/a.jpg", 1, u"2024/"},        // separators left at the start are no folder
      {u"/" + Text(258, u'x') + u"/a", 1, Text(258, u'x') + u"/"},
  };
  for (const Row& row : rows) EXPECT_EQ(FoldersBelowRoot(row.path, row.rootUnits), row.folders) << TextToUtf8(row.path);
}

TEST(OutputPlan, ModeWithoutFolderNeverWritesBesideTheWorkingDirectory) {
  AppSettings s{};
  SetField(s.TargetFormat, u"JPG");
  s.OutputMode = 3;
  EXPECT_EQ(PlanOutput(s, u"/pics/a.png", u"").error, kErrorNoOutputFolder);
}

TEST(Resize, Table) {
  struct Row {
    ResizeRule rule;
    uint32_t w, h;
    bool resize;
    int32_t nw, nh;
  } rows[] = {
      {{1, 1, 2000, 0, false}, 4000, 3000, true, 2000, 1500},
      {{1, 2, 2000, 0, false}, 4000, 3000, true, 2667, 2000},
      {{1, 3, 2000, 0, false}, 4000, 3000, true, 2000, 1500},
      {{1, 4, 2000, 0, false}, 4000, 3000, true, 2667, 2000},
      {{1, 1, 2000, 0, false}, 3000, 4000, true, 1500, 2000},
      {{1, 2, 2000, 0, false}, 3000, 4000, true, 2000, 2667},
      {{1, 1, 100, 0, false}, 50, 50, true, 100, 100},
      {{1, 2, 100, 0, false}, 50, 50, true, 100, 100},
      {{1, 1, 2000, 0, true}, 1500, 1000, false, 0, 0},
      {{1, 1, 2000, 0, false}, 1500, 1000, true, 2000, 1333},
      // NoEnlarge looks at the longer side whatever side is chosen.
      {{1, 3, 2000, 0, true}, 1000, 1500, false, 0, 0},
      {{1, 2, 2000, 0, true}, 3000, 1500, true, 4000, 2000},
      {{1, 1, 2000, 0, true}, 2000, 1000, true, 2000, 1000},
      // Halves go to the even neighbour: 2 * (5 / 4) = 2.5 and 2 * (3 / 4) = 1.5.
      {{1, 3, 5, 0, false}, 4, 2, true, 5, 2},
      {{1, 3, 3, 0, false}, 4, 2, true, 3, 2},
      {{1, 9, 2000, 0, false}, 300, 200, true, 300, 200},
      {{2, 0, 0, 50, false}, 5, 3, true, 2, 2},
      {{2, 0, 0, 150, false}, 3, 3, true, 4, 4},
      // Less than one pixel is one pixel: 1 % of 10 x 10 was once left at 10 x 10.
      {{2, 0, 0, 1, false}, 10, 10, true, 1, 1},
      {{2, 0, 0, 1, false}, 40, 40, true, 1, 1},
      {{1, 1, 100, 0, false}, 1000, 2, true, 100, 1},
      {{1, 4, 1, 0, false}, 2, 1000, true, 1, 1},
      {{2, 1, 2000, 100, true}, 10, 10, true, 10, 10},
      {{0, 1, 2000, 50, false}, 4000, 3000, false, 0, 0},
      {{3, 1, 2000, 50, false}, 4000, 3000, false, 0, 0},
  };
  for (const Row& row : rows) {
    ResizePlan plan = PlanResize(row.rule, row.w, row.h);
    SCOPED_TRACE(testing::Message() << "mode " << row.rule.mode << " side " << row.rule.side << " " << row.w << "x"
                                    << row.h);
    EXPECT_EQ(plan.resize, row.resize);
    if (!row.resize) continue;
    EXPECT_EQ(plan.width, row.nw);
    EXPECT_EQ(plan.height, row.nh);
  }
}

TEST(ErrorQuestion, TextCaptionKindAndTimeout) {
  ResetBoxes();
  gBoxAnswers = {kIdNo};
  EXPECT_EQ(ReportConvertError(kErrorReadToBuffer, u"a.jpg"), kIdNo);
  ASSERT_EQ(gShownBoxes.size(), 1u);
  EXPECT_EQ(gShownBoxes[0].text, Text(u"a.jpg\r\nОшибка чтения файла в буфер - Error: 4\r\n") + kAsk);
  EXPECT_EQ(gShownBoxes[0].caption, u"Ошибка выполнения преобразования");
  EXPECT_EQ(gShownBoxes[0].kind, 6);
  EXPECT_EQ(gShownBoxes[0].timeoutMs, 6000u);
  EXPECT_EQ(ConvertErrorText(1, u""), Text(u"\r\nСписок файлов пуст - Error1\r\n") + kAsk);
  EXPECT_EQ(ConvertErrorText(5, u"x"), Text(u"x\r\n\r\n") + kAsk);
}

using Pipeline = ConversionTest;

TEST_F(Pipeline, EachModeWritesWhereItShould) {
  WriteSample(scratch, "a.png", 64, 48);
  AddEntry(scratch, "a.png");
  RunResult result = RunConversion();
  EXPECT_EQ(result.converted, 1);
  Opened out = OpenResult(scratch, "a_c.jpg");
  EXPECT_TRUE(out.ok);
  EXPECT_EQ(out.width, 64u);
  EXPECT_EQ(out.height, 48u);
  EXPECT_EQ(out.bpp, 24u);

  gAppSettings.OutputMode = 1;
  SetField(gAppSettings.SubfolderName, u"Out");
  RunConversion();
  EXPECT_TRUE(OpenResult(scratch, "Out/a.jpg").ok);

  gAppSettings.OutputMode = 0;
  SetField(gAppSettings.OutputFolder, scratch.Path("res"));
  RunConversion();
  EXPECT_TRUE(OpenResult(scratch, "res/a.jpg").ok);
  EXPECT_TRUE(gShownBoxes.empty());
}

// Valid pictures can be tiny, so only a file that gives no bytes is error 4; a short
// file that is no picture is the decoder's to refuse.
TEST_F(Pipeline, EmptyAndMissingFilesAreError4AndShortFilesReachTheDecoder) {
  scratch.Write("short.jpg", std::string(49, 'x'));
  scratch.Write("empty.jpg", "");
  AddEntry(scratch, "short.jpg");
  AddEntry(scratch, "empty.jpg");
  AddEntry(scratch, "missing.jpg");
  RunResult result = RunConversion();
  ASSERT_EQ(gShownBoxes.size(), 3u);
  EXPECT_EQ(gShownBoxes[0].text.substr(0, 9), u"short.jpg");
  EXPECT_EQ(BoxReason(0), u"Формат не поддерживается - Error: 8");
  EXPECT_EQ(BoxReason(1), u"Ошибка чтения файла в буфер - Error: 4");
  EXPECT_EQ(BoxReason(2), u"Ошибка чтения файла в буфер - Error: 4");
  EXPECT_EQ(result.failed, 3);
  EXPECT_EQ(FileListStamp(0), 0u);
}

TEST_F(Pipeline, EmptyListIsError1ShownOnceWhateverTheAnswer) {
  gBoxAnswers = {kIdYes};
  RunResult result = RunConversion();
  ASSERT_EQ(gShownBoxes.size(), 1u);
  EXPECT_EQ(gShownBoxes[0].text, Text(u"\r\nСписок файлов пуст - Error1\r\n") + kAsk);
  EXPECT_EQ(result.runError, kErrorEmptyList);
}

TEST_F(Pipeline, ModeZeroWithoutFolderIsError2ShownOnceAndReadsNothing) {
  WriteSample(scratch, "a.png", 8, 8);
  AddEntry(scratch, "a.png");
  AddEntry(scratch, "a.png");
  gAppSettings.OutputMode = 0;
  SetField(gAppSettings.OutputFolder, u"");
  RunResult result = RunConversion();
  ASSERT_EQ(gShownBoxes.size(), 1u);
  EXPECT_EQ(BoxReason(0), u"Не указана выходная директория - Error: 2");
  EXPECT_EQ(result.runError, kErrorNoOutputFolder);
  EXPECT_EQ(result.converted + result.failed + result.skipped, 0);
  EXPECT_TRUE(gFakeStatusHistory.empty());
}

TEST_F(Pipeline, SecondRunSkipsAndAQualityChangeConvertsAgain) {
  WriteSample(scratch, "a.png", 16, 16);
  WriteSample(scratch, "b.png", 16, 16);
  AddEntry(scratch, "a.png");
  AddEntry(scratch, "b.png");
  EXPECT_EQ(RunConversion().converted, 2);
  uint32_t stamp = FileListStamp(0);
  EXPECT_EQ(stamp, SettingsSignature(gAppSettings, true));

  gFakeStatusHistory.clear();
  RunResult again = RunConversion();
  EXPECT_EQ(again.skipped, 2);
  EXPECT_EQ(again.converted, 0);
  ASSERT_EQ(gFakeStatusHistory.size(), 2u);
  EXPECT_EQ(gFakeStatusHistory[0], u"Пропущен: ( 1/ 2)  Имя: a.png");

  // A missing output is converted again even with a matching stamp.
  std::filesystem::remove(scratch.path() + "/b_c.jpg");
  RunResult one = RunConversion();
  EXPECT_EQ(one.skipped, 1);
  EXPECT_EQ(one.converted, 1);

  SetFlagValue(gAppSettings.SaveFlags[kFormatJpeg], 50);
  EXPECT_EQ(RunConversion().converted, 2);
  EXPECT_NE(FileListStamp(0), stamp);
  EXPECT_TRUE(gShownBoxes.empty());
}

TEST_F(Pipeline, ProgressLineCarriesPositionNameAndSize) {
  WriteSample(scratch, "a.png", 16, 16);
  uint64_t size = scratch.Read("a.png").size();
  AddEntry(scratch, "a.png");
  RunConversion();
  ASSERT_EQ(gFakeStatusHistory.size(), 1u);
  EXPECT_EQ(gFakeStatusHistory[0], u"Выполняется: ( 1/ 1)  Имя: a.png , " + FormatByteSize64(size));
}

TEST_F(Pipeline, NoEndsTheRunAfterThatFileAndATimeOutContinues) {
  scratch.Write("bad1.jpg", std::string(100, 'x'));
  WriteSample(scratch, "good.png", 8, 8);
  scratch.Write("bad2.jpg", std::string(100, 'x'));
  for (const char* name : {"bad1.jpg", "good.png", "bad2.jpg"}) AddEntry(scratch, name);

  RunResult timedOut = RunConversion();  // unanswered questions time out
  EXPECT_EQ(gShownBoxes.size(), 2u);
  EXPECT_EQ(timedOut.converted, 1);
  EXPECT_EQ(timedOut.failed, 2);

  std::filesystem::remove(scratch.path() + "/good_c.jpg");
  ResetBoxes();
  gBoxAnswers = {kIdNo};
  RunResult stopped = RunConversion();
  EXPECT_EQ(gShownBoxes.size(), 1u);
  EXPECT_EQ(stopped.converted, 0);
  EXPECT_FALSE(scratch.Exists("good_c.jpg"));
}

TEST_F(Pipeline, StopEndsTheRunAfterTheFileBeingProcessed) {
  scratch.Write("bad.jpg", std::string(100, 'x'));
  WriteSample(scratch, "a.png", 8, 8);
  AddEntry(scratch, "bad.jpg");
  AddEntry(scratch, "a.png");
  // The user presses Stop while the question about the first file is open.
  gOnBoxShown = [](const ShownBox&) { gRunState = kRunIdle; };
  RunResult result = RunConversion();
  EXPECT_EQ(result.failed, 1);
  EXPECT_EQ(result.converted, 0);
  EXPECT_FALSE(scratch.Exists("a_c.jpg"));
}

TEST_F(Pipeline, StopDuringSkippedEntriesStillConvertsTheNextFile) {
  for (const char* name : {"a.png", "b.png", "c.png", "d.png"}) WriteSample(scratch, name, 8, 8);
  AddEntry(scratch, "a.png");
  AddEntry(scratch, "b.png");
  RunConversion();
  AddEntry(scratch, "c.png");
  AddEntry(scratch, "d.png");
  gRunState = kRunIdle;
  RunResult result = RunConversion();
  EXPECT_EQ(result.skipped, 2);
  EXPECT_EQ(result.converted, 1);
  EXPECT_TRUE(scratch.Exists("c_c.jpg"));
  EXPECT_FALSE(scratch.Exists("d_c.jpg"));
}

TEST_F(Pipeline, TextFileNamedJpgIsCode8) {
  scratch.Write("notes.jpg", "These are just words, long enough to pass the fifty-byte read test.\n");
  AddEntry(scratch, "notes.jpg");
  RunConversion();
  ASSERT_EQ(gShownBoxes.size(), 1u);
  EXPECT_EQ(gShownBoxes[0].text, Text(u"notes.jpg\r\nФормат не поддерживается - Error: 8\r\n") + kAsk);
  EXPECT_FALSE(scratch.Exists("notes_c.jpg"));
}

TEST_F(Pipeline, DecodingThatYieldsNoImageIsADamagedFileAndKeepsTheOldOutput) {
  // A PNG signature is enough to be recognised; the rest cannot be decoded: the file,
  // not the format, is at fault.
  scratch.Write("broken.png", std::string("\x89PNG\r\n\x1a\n", 8) + std::string(80, '\x11'));
  scratch.Write("broken_c.jpg", "earlier result");
  AddEntry(scratch, "broken.png");
  RunResult result = RunConversion();
  ASSERT_EQ(gShownBoxes.size(), 1u);
  EXPECT_EQ(BoxReason(0), u"Файл повреждён - Error: 19");
  EXPECT_EQ(result.failed, 1);
  EXPECT_EQ(scratch.Read("broken_c.jpg"), "earlier result");
  EXPECT_EQ(FileListStamp(0), 0u);
}

// The JPEG reader would fill a cut-off picture with grey and call it done.
TEST_F(Pipeline, JpegCutInsideThePictureIsCode13AndOnlyALostEndMarkerIsForgiven) {
  std::vector<uint8_t> whole = SampleBytes(SampleKind::Rgb24, 320, 240, kFormatJpeg);
  ASSERT_GT(whole.size(), 1000u);
  ASSERT_EQ(whole[whole.size() - 2], 0xFF);
  ASSERT_EQ(whole[whole.size() - 1], 0xD9);
  WriteBytes(scratch, "half.jpg", std::vector<uint8_t>(whole.begin(), whole.begin() + whole.size() / 2));
  WriteBytes(scratch, "open.jpg", std::vector<uint8_t>(whole.begin(), whole.end() - 2));
  scratch.Write("half_c.jpg", "earlier result");
  AddEntry(scratch, "half.jpg");
  AddEntry(scratch, "open.jpg");
  RunResult result = RunConversion();
  ASSERT_EQ(gShownBoxes.size(), 1u);
  EXPECT_EQ(gShownBoxes[0].text, Text(u"half.jpg\r\nФайл повреждён: данные обрываются - Error: 13\r\n") + kAsk);
  EXPECT_EQ(result.failed, 1);
  EXPECT_EQ(result.converted, 1);
  EXPECT_EQ(scratch.Read("half_c.jpg"), "earlier result");
  EXPECT_EQ(FileListStamp(0), 0u);
  Opened open = OpenResult(scratch, "open_c.jpg");
  EXPECT_TRUE(open.ok);
  EXPECT_EQ(open.width, 320u);
  EXPECT_EQ(open.height, 240u);
}

TEST_F(Pipeline, AnOutputThatIsTheSourceItselfIsCode14AndTheOriginalStays) {
  WriteSample(scratch, "same.png", 40, 30);
  WriteSample(scratch, "other.png", 40, 30);
  std::string original = scratch.Read("same.png");
  SetTarget(u"PNG");
  gAppSettings.OutputMode = 0;
  SetField(gAppSettings.OutputFolder, scratch.Path());
  gAppSettings.ResizeMode = 2;
  gAppSettings.ScalePercent = 50;
  AddEntry(scratch, "same.png");
  AddEntry(scratch, "other.png");
  // The same file spelled through another path to its folder.
  FsCreateDirectory(scratch.Path("sub"));
  FileListAppend(scratch.Path("sub") + Text(1, kPathSeparator) + u".." + Text(1, kPathSeparator) + u"other.png");
  RunResult result = RunConversion();
  ASSERT_EQ(gShownBoxes.size(), 3u);
  EXPECT_EQ(BoxReason(0), u"Результат заменил бы исходный файл - Error: 14");
  EXPECT_EQ(result.failed, 3);
  EXPECT_EQ(scratch.Read("same.png"), original);
  EXPECT_EQ(FileListStamp(0), 0u);
  // A subfolder or suffix is the way to convert such files.
  ResetBoxes();
  gAppSettings.OutputMode = 2;
  result = RunConversion();
  EXPECT_EQ(result.converted, 3);
  EXPECT_EQ(OpenResult(scratch, "same_c.png").width, 20u);
}

TEST_F(Pipeline, TargetThatCannotBeWrittenIsReportedOnceAndTouchesNothing) {
  WriteSample(scratch, "a.png", 8, 8);
  AddEntry(scratch, "a.png");
  AddEntry(scratch, "a.png");
  for (const char16_t* target : {u"JPGX", u"PCD", u""}) {
    ResetBoxes();
    SetTarget(target);
    std::string old = "a_c." + TextToUtf8(ToLower(target));
    scratch.Write(old, "earlier result");
    RunResult result = RunConversion();
    ASSERT_EQ(gShownBoxes.size(), 1u) << TextToUtf8(target);
    EXPECT_EQ(BoxReason(0), u"Неизвестный выходной формат - Error: 12");
    EXPECT_EQ(result.runError, kErrorUnknownTarget);
    EXPECT_EQ(scratch.Read(old), "earlier result");
    EXPECT_EQ(FileListStamp(0), 0u);
  }
}

TEST_F(Pipeline, UnwritableOutputLosesNothingAndIsNotStamped) {
  WriteSample(scratch, "a.png", 8, 8);
  std::string source = scratch.Read("a.png");
  scratch.Write("blocker", "a file where a folder should be");
  AddEntry(scratch, "a.png");
  gAppSettings.OutputMode = 0;
  SetField(gAppSettings.OutputFolder, scratch.Path("blocker/out"));
  RunResult result = RunConversion();
  ASSERT_EQ(gShownBoxes.size(), 1u);
  EXPECT_EQ(BoxReason(0), u"Ошибка записи файла - Error: 10");
  EXPECT_EQ(result.failed, 1);
  EXPECT_EQ(FileListStamp(0), 0u);
  EXPECT_EQ(scratch.Read("blocker"), "a file where a folder should be");
  EXPECT_EQ(scratch.Read("a.png"), source);

  // An output name taken by a folder is not replaced either.
  ResetBoxes();
  gAppSettings.OutputMode = 2;
  std::filesystem::create_directory(scratch.path() + "/a_c.jpg");
  scratch.Write("a_c.jpg/keep", "inside");
  RunConversion();
  EXPECT_EQ(BoxReason(0), u"Ошибка записи файла - Error: 10");
  EXPECT_EQ(scratch.Read("a_c.jpg/keep"), "inside");
}

TEST_F(Pipeline, PathOf261UnitsIsError3) {
  FileListAppend(u"/" + Text(260, u'a'));
  RunConversion();
  ASSERT_EQ(gShownBoxes.size(), 1u);
  EXPECT_EQ(gShownBoxes[0].text, Text(u"\r\nПустое имя входного файла - Error: 3\r\n") + kAsk);
}

TEST_F(Pipeline, EntriesDeletedDuringTheRunEndItCleanly) {
  scratch.Write("bad.jpg", std::string(100, 'x'));
  WriteSample(scratch, "a.png", 8, 8);
  WriteSample(scratch, "b.png", 8, 8);
  for (const char* name : {"bad.jpg", "a.png", "b.png"}) AddEntry(scratch, name);
  // While the first question is open the user deletes the two later entries.
  gOnBoxShown = [](const ShownBox&) {
    FileListDelete(2);
    FileListDelete(1);
  };
  RunResult result = RunConversion();
  EXPECT_EQ(gShownBoxes.size(), 1u);
  EXPECT_EQ(result.failed, 1);
  EXPECT_EQ(result.converted, 0);
}

// A hand-over while a question is open appends a file: the same run converts it, and the
// result says how the run ended and which files failed.
TEST_F(Pipeline, EntriesAppendedDuringTheRunAreConvertedAndTheEndIsReported) {
  scratch.Write("bad.jpg", std::string(100, 'x'));
  WriteSample(scratch, "a.png", 8, 8);
  WriteSample(scratch, "late.png", 8, 8);
  AddEntry(scratch, "bad.jpg");
  AddEntry(scratch, "a.png");
  gOnBoxShown = [this](const ShownBox&) { AddEntry(scratch, "late.png"); };
  RunResult finished = RunConversion();
  EXPECT_EQ(finished.converted, 2);
  EXPECT_TRUE(scratch.Exists("late_c.jpg"));
  EXPECT_EQ(finished.end, RunEnd::Finished);
  ASSERT_EQ(finished.failures.size(), 1u);
  EXPECT_EQ(finished.failures[0].path, scratch.Path("bad.jpg"));
  EXPECT_EQ(finished.failures[0].code, 8);

  ResetBoxes();
  gBoxAnswers = {kIdNo};
  EXPECT_EQ(RunConversion().end, RunEnd::Declined);
  ResetBoxes();
  gOnBoxShown = [](const ShownBox&) { gRunState = kRunIdle; };
  EXPECT_EQ(RunConversion().end, RunEnd::Stopped);
}

TEST_F(Pipeline, ResizeRulesOnRealImages) {
  struct Row {
    uint32_t w, h;
    int32_t mode, side, size, percent, noEnlarge;
    uint32_t ow, oh;
  } rows[] = {
      {1500, 1000, 1, 1, 2000, 0, 1, 1500, 1000},
      {1500, 1000, 1, 1, 2000, 0, 0, 2000, 1333},
      {5, 3, 2, 1, 0, 50, 0, 2, 2},
      {10, 10, 2, 1, 0, 1, 0, 1, 1},  // saved at 10 x 10 before: less than a pixel is one pixel
      {1000, 2, 1, 1, 100, 0, 0, 100, 1},
  };
  for (const Row& row : rows) {
    WriteSample(scratch, "r.jpg", row.w, row.h, SampleKind::Rgb24, kFormatJpeg);
    FileListClear();
    AddEntry(scratch, "r.jpg");
    gAppSettings.ResizeMode = row.mode;
    gAppSettings.ResizeSide = row.side;
    gAppSettings.TargetSize = row.size;
    gAppSettings.ScalePercent = row.percent;
    gAppSettings.NoEnlarge = row.noEnlarge;
    RunConversion();
    Opened out = OpenResult(scratch, "r_c.jpg");
    EXPECT_TRUE(out.ok);
    EXPECT_EQ(out.width, row.ow) << row.w << "x" << row.h;
    EXPECT_EQ(out.height, row.oh) << row.w << "x" << row.h;
  }
  EXPECT_TRUE(gShownBoxes.empty());
}

}  // namespace
