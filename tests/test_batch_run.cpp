#include <unistd.h>

#include <filesystem>

#include "app/batch_run.h"
#include "tests/conversion_fixture.h"

namespace {

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
      {{3, 1, 0, 0, false}, 4, "Done: 3 converted, 1 skipped, 0 failed in 1.50 s", 0},
      {{2, 0, 1, 0, false}, 3, "Done: 2 converted, 0 skipped, 1 failed in 1.50 s", 1},
      {{0, 0, 1, 0, false}, 5, "Done: 0 converted, 0 skipped, 1 failed in 1.50 s; 4 not reached", 1},
      {{0, 0, 0, kErrorEmptyList, false}, 0,
       "Done: 0 converted, 0 skipped, 0 failed in 1.50 s; no file to convert (the list is empty)", 1},
      {{0, 0, 0, kErrorNoOutputFolder, false}, 2,
       "Done: 0 converted, 0 skipped, 0 failed in 1.50 s; no output folder for --out-mode folder", 1},
      {{1, 0, 0, 0, true}, 2,
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
  RunResult result{2, 0, 1, 0, false};
  result.failures.push_back({u"/pics/locked", kErrorFolderUnreadable});
  BatchOutcome outcome{result, 2, 1.5, {}};
  outcome.unreadableFolders = 1;
  EXPECT_EQ(SummaryLine(outcome), "Done: 2 converted, 0 skipped, 1 failed in 1.50 s");
  EXPECT_EQ(ExitStatus(outcome.result), 1);
}

TEST(BatchRun, SourcesKeptAreSaidInTheSummary) {
  RunResult result{4, 1, 0, 0, false};
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

}  // namespace

namespace {

TEST(BatchRun, ASettingsFileThatIsAFolderIsRefused) {
  ScratchFolder scratch;
  EXPECT_EQ(UnusableConfigReason(scratch.Path()), "it is a folder");
  EXPECT_EQ(UnusableConfigReason(scratch.Path("Config.dat")), "");
}

}  // namespace
