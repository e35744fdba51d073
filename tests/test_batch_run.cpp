#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "app/batch_run.h"
#include "tests/conversion_fixture.h"

namespace {

RunResult Counts(int32_t converted, int32_t skipped, int32_t failed, int32_t runError, bool faulted) {
  RunResult result;
  result.converted = converted;
  result.skipped = skipped;
  result.failed = failed;
  result.runError = runError;
  result.faulted = faulted;
  return result;
}

TEST(BatchRun, AbsolutePaths) {
  struct Row {
    const char16_t* path;
    const char16_t* here;
    const char16_t* expected;
  } rows[] = {
      {u"a.jpg", u"/home/u", u"/home/u/a.jpg"},   {u"pics/a.jpg", u"/home/u/", u"/home/u/pics/a.jpg"},
      {u"/abs/a.jpg", u"/home/u", u"/abs/a.jpg"}, {u"./a.jpg", u"/", u"/./a.jpg"},
      {u"a.jpg", u"", u"a.jpg"},                  {u"", u"/home/u", u""},
      // A quote in an argument is part of the name: the shell took the quoting away.
      {u"\"a b.jpg\"", u"/h", u"/h/\"a b.jpg\""},   {u"\"/x/a.jpg\"", u"/h", u"/h/\"/x/a.jpg\""},
  };
  for (const Row& row : rows) EXPECT_EQ(AbsolutePath(row.path, row.here), row.expected) << TextToUtf8(row.path);
}

TEST(BatchRun, AnswerPolicy) {
  struct Row {
    OnErrorPolicy policy;
    bool terminal;
    ConsoleAnswer answer;
  } rows[] = {
      {OnErrorPolicy::Continue, true, ConsoleAnswer::Continue}, {OnErrorPolicy::Stop, false, ConsoleAnswer::Stop},
      {OnErrorPolicy::Ask, false, ConsoleAnswer::Ask},          {OnErrorPolicy::Default, true, ConsoleAnswer::Ask},
      {OnErrorPolicy::Default, false, ConsoleAnswer::Continue},
  };
  for (const Row& row : rows) EXPECT_EQ(AnswerPolicy(row.policy, row.terminal), row.answer);
}

TEST(BatchRun, SummaryAndExitStatus) {
  struct Row {
    RunResult result;
    int32_t listed;
    const char* summary;
    int status;
  } rows[] = {
      {Counts(3, 1, 0, 0, false), 4, "Done: 3 converted, 1 skipped, 0 failed in 1.50 s", 0},
      {Counts(2, 0, 1, 0, false), 3, "Done: 2 converted, 0 skipped, 1 failed in 1.50 s", 1},
      {Counts(0, 0, 1, 0, false), 5, "Done: 0 converted, 0 skipped, 1 failed in 1.50 s; 4 not reached", 1},
      {Counts(0, 0, 0, kErrorEmptyList, false), 0,
       "Done: 0 converted, 0 skipped, 0 failed in 1.50 s; no file to convert (the list is empty)", 1},
      {Counts(0, 0, 0, kErrorNoOutputFolder, false), 2,
       "Done: 0 converted, 0 skipped, 0 failed in 1.50 s; no output folder for --out-mode folder", 1},
      {Counts(1, 0, 0, 0, true), 2,
       "Done: 1 converted, 0 skipped, 0 failed in 1.50 s; 1 not reached; ended by an unexpected fault (see the "
       "error log)",
       1},
  };
  for (const Row& row : rows) {
    BatchOutcome outcome{row.result, row.listed, 1.5, {}};
    EXPECT_EQ(SummaryLine(outcome), row.summary);
    EXPECT_EQ(ExitStatus(row.result), row.status) << row.summary;
  }
}

// A folder that could not be read counts among the failed (the run names it), but it is
// no entry the run did not reach.
TEST(BatchRun, UnreadableFoldersAreFailedButNotUnreached) {
  RunResult result = Counts(2, 0, 1, 0, false);
  result.failures.push_back({u"/pics/locked", kErrorFolderUnreadable});
  BatchOutcome outcome{result, 2, 1.5, {}};
  outcome.unreadableFolders = 1;
  EXPECT_EQ(SummaryLine(outcome), "Done: 2 converted, 0 skipped, 1 failed in 1.50 s");
  EXPECT_EQ(ExitStatus(outcome.result), 1);
}

TEST(BatchRun, SourcesKeptAreSaidInTheSummary) {
  RunResult result = Counts(4, 1, 0, 0, false);
  result.keptSources = 3;
  BatchOutcome outcome{result, 5, 1.5, {}};
  EXPECT_EQ(SummaryLine(outcome), "Done: 4 converted (3 kept as the smaller source), 1 skipped, 0 failed in 1.50 s");
}

class BatchConvert : public testing::Test {
 protected:
  void SetUp() override {
    ResetConversion(scratch);
    gRunState = kRunIdle;
    gAppSettings.OutputMode = 2;
    gAppSettings.ClearListOnAdd = 8;
    gFakeCtrlHeld = true;  // what the console port answers
  }
  ScratchFolder scratch;
};

TEST_F(BatchConvert, EveryPathInOrderThenOneRun) {
  std::filesystem::create_directory(scratch.path() + "/in");
  WriteSample(scratch, "in/a.png", 8, 8);
  WriteSample(scratch, "in/b.png", 8, 8);
  scratch.Write("in/readme.txt", "not a picture, and the filter leaves it out anyway");
  WriteSample(scratch, "c.png", 8, 8);
  char old[4096];
  ASSERT_NE(::getcwd(old, sizeof old), nullptr);
  ASSERT_EQ(::chdir(scratch.path().c_str()), 0);
  // A folder, a relative file.
  BatchOutcome outcome = RunBatch({scratch.Path("in"), u"c.png"});
  ASSERT_EQ(::chdir(old), 0);
  EXPECT_EQ(outcome.listed, 3);
  EXPECT_EQ(outcome.result.converted, 3);
  EXPECT_EQ(FileListText(2), scratch.Path("c.png"));
  EXPECT_TRUE(scratch.Exists("in/a_c.jpg"));
  EXPECT_TRUE(scratch.Exists("c_c.jpg"));
  EXPECT_EQ(gRunState.load(), kRunIdle);
  EXPECT_FALSE(WorkerActive());
}

// Every name under the scratch folder, so a dry run can be shown to leave it as it was.
std::vector<std::string> Tree(const std::string& top) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::recursive_directory_iterator(top)) names.push_back(e.path().string());
  std::sort(names.begin(), names.end());
  return names;
}

// A dry run plans what the real run then does: a file to convert, one done by an earlier
// run, one whose place a foreign file holds (kept), two sources of one name, an output path
// too long. It writes nothing (not even a folder or the record) and counts as the real
// run that follows it.
TEST_F(BatchConvert, DryRunWritesNothingAndCountsAsTheRunThatFollows) {
  std::string deep = "P/sub/" + std::string(200, 'd');
  std::filesystem::create_directories(scratch.path() + "/" + deep);
  for (const char* name : {"P/done.png", "P/a.png", "P/kept.png", "P/sub/b.png", "P/sub/b.bmp"})
    WriteSample(scratch, name, 8, 8, SampleKind::Rgb24, std::string(name).ends_with("bmp") ? 0 : kFormatPng);
  WriteSample(scratch, deep + "/far.png", 8, 8);
  ASSERT_LE(scratch.Path(deep + "/far.png").size(), kMaxEntryUnits) << "the scratch folder is too long for this test";
  gAppSettings.Recursive = 1;
  gAppSettings.OutputMode = 0;
  gAppSettings.ExistingFiles = kExistingSkip;
  SetField(gAppSettings.OutputFolder, scratch.Path(std::string(60, 'o')) + u"/");
  SetRunOptions(RunOptions{1, true, 0, scratch.Path("Converted.dat")});
  ASSERT_EQ(RunBatch({scratch.Path("P/done.png")}).result.converted, 1);
  FileListClear();
  scratch.Write(std::string(60, 'o') + "/kept.jpg", "not ours");

  std::vector<std::string> before = Tree(scratch.path());
  BatchOutcome planned = RunBatch({scratch.Path("P")}, true);
  EXPECT_EQ(Tree(scratch.path()), before) << "a dry run writes nothing";
  FileListClear();
  BatchOutcome ran = RunBatch({scratch.Path("P")});
  SetRunOptions(RunOptions{1, true, 0, Text()});
  EXPECT_EQ(planned.result.converted, 2);  // a.png, one of the b's
  EXPECT_EQ(planned.result.skipped, 2);    // done.png, kept.png
  EXPECT_EQ(planned.result.failed, 2);     // the other b, the far one
  EXPECT_EQ(SummaryLine(planned).substr(0, 40), SummaryLine(ran).substr(0, 40));
  EXPECT_EQ(ran.result.converted, planned.result.converted);
  EXPECT_EQ(ran.result.skipped, planned.result.skipped);
  EXPECT_EQ(ran.result.failed, planned.result.failed);
  std::vector<int32_t> plannedCodes, ranCodes;
  for (const FailedFile& f : planned.result.failures) plannedCodes.push_back(f.code);
  for (const FailedFile& f : ran.result.failures) ranCodes.push_back(f.code);
  EXPECT_EQ(plannedCodes, ranCodes);
  EXPECT_EQ(plannedCodes, (std::vector<int32_t>{kErrorOutputTaken, kErrorOutputTooLong}));
}

TEST(BatchRun, PlannedLinesSayWhatWouldHappen) {
  struct Row {
    PlannedFile file;
    const char* line;
  } rows[] = {
      {{u"/p/a.png", u"/o/a.jpg", PlannedAction::Convert, 0, {}}, "convert       /p/a.png -> /o/a.jpg"},
      {{u"/p/a.png", u"/o/a.jpg", PlannedAction::SkipDone, 0, {}}, "skip, done    /p/a.png -> /o/a.jpg"},
      {{u"/p/a.png", u"/o/a.jpg", PlannedAction::SkipExisting, 0, {}}, "skip, exists  /p/a.png -> /o/a.jpg"},
      {{u"/p/a.gif", u"/o/a.jpg", PlannedAction::Collision, kErrorOutputTaken, u"/o/a.jpg — из файла /p/a.png"},
       "collision     /p/a.gif -> /o/a.jpg (Результат с этим именем уже записан в этом запуске - Error: 15: /o/a.jpg — "
       "из файла /p/a.png)"},
      {{u"/p/x", u"", PlannedAction::Fails, kErrorFolderUnreadable, {}}, "fails         /p/x (Папка не читается - Error: 21)"},
  };
  for (const Row& row : rows) EXPECT_EQ(PlannedLine(row.file), row.line);
}

}  // namespace

namespace {

TEST(BatchRun, ASettingsFileThatIsAFolderIsRefused) {
  ScratchFolder scratch;
  EXPECT_EQ(UnusableConfigReason(scratch.Path()), "it is a folder");
  EXPECT_EQ(UnusableConfigReason(scratch.Path("Config.dat")), "");
}

}  // namespace
