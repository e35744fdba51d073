// Runs over folder trees: the tree mirrored below the output folder, the outputs' dates,
// existing files that are not ours, the record of what is done, keep-if-smaller.
#include <filesystem>

#include "engine/run/convert_errors.h"
#include "input/collect.h"
#include "tests/conversion_fixture.h"

namespace {

class FolderTrees : public ConversionTest {
 protected:
  void SetUp() override {
    ConversionTest::SetUp();
    gAppSettings.ClearListOnAdd = 0;
    gAppSettings.Recursive = 1;
    gAppSettings.OutputMode = 0;
    SetField(gAppSettings.OutputFolder, scratch.Path("Out") + u"/");
  }
  // A picture at a path of the scratch folder, its folders made as needed.
  void Picture(const std::string& name, uint32_t side = 8) {
    std::filesystem::create_directories(std::filesystem::path(scratch.path() + "/" + name).parent_path());
    WriteSample(scratch, name, side, side);
  }
};

// A photo archive: the same name at three levels, each output at its own path
// below the output folder, the folders made as needed; nothing collides.
TEST_F(FolderTrees, ModeZeroMirrorsTheDroppedTree) {
  for (const char* name : {"Photos/IMG_0001.png", "Photos/2024/IMG_0001.png", "Photos/2024/Trip/IMG_0001.png",
                           "Photos/2025/IMG_0001.png"})
    Picture(name);
  AddPath(scratch.Path("Photos"));
  RunResult result = RunConversion();
  EXPECT_EQ(result.converted, 4);
  EXPECT_EQ(result.failed, 0);
  EXPECT_TRUE(gShownBoxes.empty());
  for (const char* name : {"Out/IMG_0001.jpg", "Out/2024/IMG_0001.jpg", "Out/2024/Trip/IMG_0001.jpg",
                           "Out/2025/IMG_0001.jpg"})
    EXPECT_TRUE(OpenResult(scratch, name).ok) << name;
}

// Files given one by one keep the plain rule, so two of one name still meet: the second
// is refused and names the first, as before.
TEST_F(FolderTrees, FilesGivenOneByOneStillMeetInTheOutputFolder) {
  Picture("a/IMG.png");
  Picture("b/IMG.png");
  AddPath(scratch.Path("a/IMG.png"));
  AddPath(scratch.Path("b/IMG.png"));
  RunResult result = RunConversion();
  EXPECT_EQ(result.converted, 1);
  ASSERT_EQ(result.failures.size(), 1u);
  EXPECT_EQ(result.failures[0].code, kErrorOutputTaken);
}

// A mirrored path longer than an entry may be is refused before any work, named, and
// nothing is written; the rest of the tree converts.
TEST_F(FolderTrees, OutputPathTooLongIsNamedAndNothingWritten) {
  std::string deep = "Photos/" + std::string(100, 'd') + "/" + std::string(100, 'e');
  Picture(deep + "/a.png");
  Picture("Photos/b.png");
  std::string outName(70, 'o');
  SetField(gAppSettings.OutputFolder, scratch.Path(outName) + u"/");
  ASSERT_LE(scratch.Path(deep + "/a.png").size(), kMaxEntryUnits) << "the scratch folder is too long for this test";
  AddPath(scratch.Path("Photos"));
  RunResult result = RunConversion();
  EXPECT_EQ(result.converted, 1);
  ASSERT_EQ(result.failures.size(), 1u);
  EXPECT_EQ(result.failures[0].code, kErrorOutputTooLong);
  ASSERT_EQ(gShownBoxes.size(), 1u);
  EXPECT_EQ(BoxReason(0), u"Путь результата длиннее 260 символов - Error: 22");
  EXPECT_NE(gShownBoxes[0].text.find(TextFromUtf8(outName + "/" + std::string(100, 'd'))), Text::npos)
      << "the path is named";
  EXPECT_TRUE(OpenResult(scratch, outName + "/b.jpg").ok);
  EXPECT_FALSE(std::filesystem::exists(scratch.path() + "/" + outName + "/" + std::string(100, 'd')));
}

// --- dates ---------------------------------------------------------------------------------

constexpr int64_t kOldTime = 126000000000000000;  // 2000-04-14, 100 ns ticks since 1601

int64_t Modified(const Text& path) {
  FileFacts facts;
  return FsFileFacts(path, &facts) ? facts.modified : -1;
}

// The output carries its source's time, to the tick; off, it carries the time it was
// written, as before.
TEST_F(FolderTrees, OutputsTakeTheirSourcesTimes) {
  Picture("Photos/a.png");
  Picture("Photos/sub/b.png");
  ASSERT_TRUE(FsSetFileTimes(scratch.Path("Photos/a.png"), kOldTime, 0));
  ASSERT_TRUE(FsSetFileTimes(scratch.Path("Photos/sub/b.png"), kOldTime + 12345678, 0));
  AddPath(scratch.Path("Photos"));
  ASSERT_EQ(RunConversion().converted, 2);
  EXPECT_EQ(Modified(scratch.Path("Out/a.jpg")), kOldTime);
  EXPECT_EQ(Modified(scratch.Path("Out/sub/b.jpg")), kOldTime + 12345678);

  gAppSettings.KeepDates = 0;
  FileListClear();
  AddPath(scratch.Path("Photos"));
  ASSERT_EQ(RunConversion().converted, 2);
  EXPECT_GT(Modified(scratch.Path("Out/a.jpg")), kOldTime + 10000000LL * 3600 * 24 * 365 * 20);
}

// --- what is done, across sessions, and existing files -------------------------------------

// Runs that keep their record beside a settings file of the scratch folder, as the window
// and tessaly-batch do; "a restart" is a fresh list (no stamps) over the same record.
class Reruns : public FolderTrees {
 protected:
  void SetUp() override {
    FolderTrees::SetUp();
    SetRunOptions(RunOptions{1, true, 0, scratch.Path("Converted.dat")});
    for (const char* name : {"Photos/a.png", "Photos/2024/a.png", "Photos/2024/Trip/b.png"}) Picture(name);
  }
  void TearDown() override {
    SetRunOptions(RunOptions{1, true, 0, Text()});
    FolderTrees::TearDown();
  }
  RunResult RunAfterRestart() {
    FileListClear();
    ResetBoxes();
    AddPath(scratch.Path("Photos"));
    return RunConversion();
  }
};

TEST_F(Reruns, ASecondRunAfterARestartSkipsEverythingAndATouchedSourceConvertsAlone) {
  RunResult first = RunAfterRestart();
  ASSERT_EQ(first.converted, 3);
  EXPECT_TRUE(scratch.Exists("Converted.dat"));
  RunResult second = RunAfterRestart();
  EXPECT_EQ(second.converted, 0);
  EXPECT_EQ(second.skipped, 3);
  // Touched: a new time, the same bytes.
  ASSERT_TRUE(FsSetFileTimes(scratch.Path("Photos/2024/a.png"), kOldTime, 0));
  RunResult third = RunAfterRestart();
  EXPECT_EQ(third.converted, 1);
  EXPECT_EQ(third.skipped, 2);
  EXPECT_EQ(Modified(scratch.Path("Out/2024/a.jpg")), kOldTime);
  // Other settings convert everything again.
  SetFlagValue(gAppSettings.SaveFlags[kFormatJpeg], 70);
  EXPECT_EQ(RunAfterRestart().converted, 3);
}

// A record that is damaged is a record that knows nothing: everything converts, nothing
// fails, and a whole record is written again.
TEST_F(Reruns, ADamagedRecordConvertsEverythingAndIsWrittenAgain) {
  ASSERT_EQ(RunAfterRestart().converted, 3);
  std::string record = scratch.Read("Converted.dat");
  scratch.Write("Converted.dat", record.substr(0, record.size() / 2));
  RunResult again = RunAfterRestart();
  EXPECT_EQ(again.converted, 3);
  EXPECT_EQ(again.failed, 0);
  EXPECT_EQ(RunAfterRestart().skipped, 3);
}

// An output someone put in place of ours is theirs: with "skip" it is left as it is.
TEST_F(Reruns, ExistingFilesNotOursByTheUsersChoice) {
  std::filesystem::create_directories(scratch.path() + "/Out/2024");
  scratch.Write("Out/a.jpg", "a foreign a.jpg");
  gAppSettings.ExistingFiles = kExistingCounter;
  RunResult counted = RunAfterRestart();
  EXPECT_EQ(counted.converted, 3);
  EXPECT_EQ(scratch.Read("Out/a.jpg"), "a foreign a.jpg");
  EXPECT_TRUE(OpenResult(scratch, "Out/a (2).jpg").ok);
  // The next run knows a (2).jpg for a.png's and skips it.
  RunResult again = RunAfterRestart();
  EXPECT_EQ(again.skipped, 3);
  EXPECT_FALSE(scratch.Exists("Out/a (3).jpg"));

  gAppSettings.ExistingFiles = kExistingSkip;
  scratch.Write("Out/2024/a.jpg", "put there by hand");
  RunResult skipped = RunAfterRestart();
  EXPECT_EQ(skipped.converted, 0);
  EXPECT_EQ(skipped.skipped, 3);
  EXPECT_EQ(scratch.Read("Out/2024/a.jpg"), "put there by hand");
  // "Replace" writes over both foreign files; a (2).jpg stays where it was.
  gAppSettings.ExistingFiles = kExistingReplace;
  EXPECT_EQ(RunAfterRestart().converted, 2);
  EXPECT_TRUE(OpenResult(scratch, "Out/2024/a.jpg").ok);
  EXPECT_TRUE(OpenResult(scratch, "Out/a.jpg").ok);
}

// Two sources of one output name in one run: the second is refused and names the first,
// in counter mode as well (a counter is for files that are not ours, not for collisions).
TEST_F(Reruns, TwoSourcesOfOneNameCollideInCounterModeToo) {
  Picture("Photos/2024/Trip/b.gif");
  gAppSettings.ExistingFiles = kExistingCounter;
  std::filesystem::create_directories(scratch.path() + "/Out/2024/Trip");
  scratch.Write("Out/2024/Trip/b.jpg", "foreign");
  RunResult result = RunAfterRestart();
  EXPECT_EQ(result.converted, 3);
  ASSERT_EQ(result.failures.size(), 1u);
  EXPECT_EQ(result.failures[0].code, kErrorOutputTaken);
  EXPECT_TRUE(scratch.Exists("Out/2024/Trip/b (2).jpg"));
  EXPECT_FALSE(scratch.Exists("Out/2024/Trip/b (3).jpg"));
}

// --- keep if smaller -------------------------------------------------------------------------

// A small JPEG of low quality grows when written again at 84: with the option on, the
// source stands in for it (copied, or beside the source nothing written); a result of
// another format or size is never replaced by its source.
class KeepIfSmaller : public Reruns {
 protected:
  void SetUp() override {
    Reruns::SetUp();
    std::filesystem::create_directories(scratch.path() + "/Small");
    WriteBytes(scratch, "Small/low.jpg", SampleBytes(SampleKind::Rgb24, 64, 48, kFormatJpeg, 15));
    WriteSample(scratch, "Small/pic.png", 64, 48);
    gAppSettings.KeepIfSmaller = 1;
  }
  RunResult Convert() {
    FileListClear();
    ResetBoxes();
    AddPath(scratch.Path("Small"));
    return RunConversion();
  }
};

TEST_F(KeepIfSmaller, TheSourceIsCopiedInPlaceOfALargerResult) {
  RunResult result = Convert();
  EXPECT_EQ(result.converted, 2);
  EXPECT_EQ(result.keptSources, 1);
  EXPECT_EQ(scratch.Read("Out/low.jpg"), scratch.Read("Small/low.jpg"));
  EXPECT_TRUE(OpenResult(scratch, "Out/pic.jpg").ok) << "PNG to JPG is another format";
  EXPECT_EQ(Convert().skipped, 2) << "done, both";
  // Off, the larger result is written.
  gAppSettings.KeepIfSmaller = 0;
  result = Convert();
  EXPECT_EQ(result.keptSources, 0);
  EXPECT_GT(scratch.Read("Out/low.jpg").size(), scratch.Read("Small/low.jpg").size());
}

TEST_F(KeepIfSmaller, BesideTheSourceNothingIsWritten) {
  gAppSettings.OutputMode = 2;
  RunResult result = Convert();
  EXPECT_EQ(result.converted, 2);
  EXPECT_EQ(result.keptSources, 1);
  EXPECT_FALSE(scratch.Exists("Small/low_c.jpg"));
  EXPECT_TRUE(scratch.Exists("Small/pic_c.jpg"));
  // The second run meets pic_c.jpg among the sources: a result of these settings, done.
  RunResult again = Convert();
  EXPECT_EQ(again.converted, 0);
  EXPECT_EQ(again.skipped, 3) << "a source kept is done while it stays as it is";
  EXPECT_FALSE(scratch.Exists("Small/low_c.jpg"));
  EXPECT_FALSE(scratch.Exists("Small/pic_c_c.jpg"));
}

TEST_F(KeepIfSmaller, AResizedResultIsNeverTheSource) {
  gAppSettings.ResizeMode = 2;
  gAppSettings.ScalePercent = 100;  // planned, yet the same size: still the source's size
  EXPECT_EQ(Convert().keptSources, 1);
  gAppSettings.ScalePercent = 99;
  RunResult result = Convert();
  EXPECT_EQ(result.keptSources, 0);
  EXPECT_EQ(OpenResult(scratch, "Out/low.jpg").width, 63u);
}

}  // namespace
