// Files converted side by side must leave exactly what one file at a time leaves: the
// same bytes, stamps, progress lines, questions and summary, in list order.
#include <filesystem>
#include <map>

#include "engine/workers/job_pool.h"
#include "engine/workers/worker.h"
#include "tests/conversion_fixture.h"

namespace {

constexpr int32_t kBmp = 0;

// Everything a run leaves behind that a user or a later run can see.
struct Trace {
  RunResult result;
  std::map<std::string, std::string> files;  // every file of the folder after the run
  std::vector<uint32_t> stamps;
  std::vector<Text> status;
  std::vector<Text> questions;
};

class ParallelRun : public ConversionTest {
 protected:
  void TearDown() override {
    SetWorkerProgram(u"");
    ConversionTest::TearDown();
  }

  // Sources of every kind the run meets: JPEGs the resize shrinks on load and ones it
  // does not, a PNG with alpha, a palette GIF, a BMP, and a file that is no picture.
  void WriteMixedSources() {
    WriteSample(scratch, "a.png", 640, 480);
    WriteSample(scratch, "b.jpg", 1200, 900, SampleKind::Rgb24, kFormatJpeg);
    scratch.Write("bad.jpg", std::string(100, 'x'));
    WriteSample(scratch, "c.png", 300, 200, SampleKind::Rgba32);
    WriteSample(scratch, "d.gif", 160, 120, SampleKind::Palette8, kFormatGif);
    WriteSample(scratch, "e.jpg", 801, 601, SampleKind::Rgb24, kFormatJpeg);
    WriteSample(scratch, "f.bmp", 333, 222, SampleKind::Rgb24, kBmp);
    WriteSample(scratch, "g.jpg", 2400, 1000, SampleKind::Rgb24, kFormatJpeg);
    for (const char* name : {"a.png", "b.jpg", "bad.jpg", "c.png", "d.gif", "e.jpg", "f.bmp", "g.jpg"})
      AddEntry(scratch, name);
  }

  Trace Run(int32_t jobs) {
    for (int32_t i = 0; i < FileListCount(); ++i) FileListSetStamp(i, 0);
    for (const auto& entry : std::filesystem::directory_iterator(scratch.path()))
      if (entry.path().stem().string().size() > 2 && entry.path().stem().string().ends_with("_c"))
        std::filesystem::remove(entry.path());
    auto onBox = gOnBoxShown;
    ResetBoxes();
    gOnBoxShown = onBox;
    ResetFakeUi();
    SetRunOptions(RunOptions{jobs, true, 0, Text()});
    Trace trace;
    trace.result = RunConversion();
    gOnBoxShown = nullptr;
    return Snapshot(std::move(trace));
  }

  Trace RunStoppedAtTheFirstQuestion(int32_t jobs) {
    gOnBoxShown = [](const ShownBox&) { gRunState = kRunIdle; };
    Trace trace = Run(jobs);
    gRunState = kRunRunning;
    return trace;
  }

  Trace Snapshot(Trace trace) {
    for (const auto& entry : std::filesystem::directory_iterator(scratch.path()))
      trace.files[entry.path().filename().string()] = scratch.Read(entry.path().filename().string());
    for (int32_t i = 0; i < FileListCount(); ++i) trace.stamps.push_back(FileListStamp(i));
    trace.status = gFakeStatusHistory;
    for (const ShownBox& box : gShownBoxes) trace.questions.push_back(box.text);
    return trace;
  }

  void ExpectSame(const Trace& one, const Trace& many, const std::string& what) {
    EXPECT_EQ(one.result.converted, many.result.converted) << what;
    EXPECT_EQ(one.result.skipped, many.result.skipped) << what;
    EXPECT_EQ(one.result.failed, many.result.failed) << what;
    EXPECT_EQ(one.result.end, many.result.end) << what;
    ASSERT_EQ(one.result.failures.size(), many.result.failures.size()) << what;
    for (size_t i = 0; i < one.result.failures.size(); ++i) {
      EXPECT_EQ(one.result.failures[i].path, many.result.failures[i].path) << what;
      EXPECT_EQ(one.result.failures[i].code, many.result.failures[i].code) << what;
    }
    EXPECT_EQ(one.stamps, many.stamps) << what;
    EXPECT_EQ(one.status, many.status) << what;
    EXPECT_EQ(one.questions, many.questions) << what;
    ASSERT_EQ(one.files.size(), many.files.size()) << what;
    for (const auto& [name, bytes] : one.files) EXPECT_TRUE(many.files.at(name) == bytes) << what << ": " << name;
  }
};

TEST_F(ParallelRun, FourAtOnceLeaveWhatOneAtATimeLeaves) {
  WriteMixedSources();
  gAppSettings.ResizeMode = 1;
  gAppSettings.ResizeSide = 1;
  gAppSettings.TargetSize = 500;
  for (const char16_t* target : {u"JPG", u"WEBP", u"PNG"}) {
    SetTarget(target);
    std::string what = TextToUtf8(target);
    Trace one = Run(1);
    EXPECT_EQ(one.result.converted, 7) << what;
    ASSERT_EQ(one.result.failures.size(), 1u) << what;
    ExpectSame(one, Run(4), what + ", 4 jobs");
    SetWorkerProgram(TextFromUtf8(TESSALY_BATCH_PROGRAM));
    ExpectSame(one, Run(4), what + ", 4 worker processes");
    SetWorkerProgram(u"");
  }
}

// Conversions wait for memory after their header; a budget that holds none beside
// another still converts every file, one after the other.
TEST_F(ParallelRun, ABudgetTooSmallForTwoStillConvertsEveryFileAlone) {
  WriteMixedSources();
  Trace one = Run(1);
  for (int32_t i = 0; i < FileListCount(); ++i) FileListSetStamp(i, 0);
  ResetBoxes();
  ResetFakeUi();
  SetRunOptions(RunOptions{4, true, 1, Text()});
  Trace tight;
  tight.result = RunConversion();
  ExpectSame(one, Snapshot(std::move(tight)), "a budget of one byte");
}

TEST(ConversionsToAdmit, InOrderWhileTheyFitAndTheFirstAlways) {
  struct Row {
    std::vector<uint64_t> waiting;
    uint64_t admittedBytes;
    size_t admittedCount;
    uint64_t budget;
    size_t admit;
  } rows[] = {
      {{900}, 0, 0, 100, 1},           // larger than the budget, but alone
      {{900}, 10, 1, 100, 0},          // not beside another
      {{40, 50, 20}, 0, 0, 100, 2},    // the third would not fit
      {{40, 80, 10}, 0, 0, 100, 1},    // no overtaking: the small third waits its turn
      {{30, 30}, 40, 1, 100, 2},       // exactly the budget
      {{}, 0, 0, 100, 0},
  };
  for (const Row& row : rows)
    EXPECT_EQ(ConversionsToAdmit(row.waiting, row.admittedBytes, row.admittedCount, row.budget), row.admit)
        << row.waiting.size() << " waiting, " << row.admittedBytes << " admitted";
}

// All four files are under way when the first one's question is shown and Stop is
// pressed: the other three finish, whole and stamped, and ask nothing more.
TEST_F(ParallelRun, AStopLetsTheFilesInFlightFinishWholeAndBeginsNoMore) {
  scratch.Write("bad.jpg", std::string(100, 'x'));
  for (const char* name : {"g1.png", "g2.png", "g3.png"}) WriteSample(scratch, name, 900, 700);
  for (const char* name : {"bad.jpg", "g1.png", "g2.png", "g3.png"}) AddEntry(scratch, name);
  Trace whole = Run(1);
  ASSERT_EQ(whole.result.converted, 3);
  for (int32_t jobs : {1, 4}) {
    Trace trace = RunStoppedAtTheFirstQuestion(jobs);
    int32_t expected = jobs == 1 ? 0 : 3;
    EXPECT_EQ(trace.result.end, RunEnd::Stopped) << jobs;
    EXPECT_EQ(trace.questions.size(), 1u) << jobs;
    EXPECT_EQ(trace.result.converted, expected) << jobs;
    const char* const results[] = {"g1_c.jpg", "g2_c.jpg", "g3_c.jpg"};
    for (size_t i = 0; i < 3; ++i) {
      bool written = trace.files.count(results[i]) == 1;
      EXPECT_EQ(written, jobs == 4) << jobs << " " << results[i];
      EXPECT_TRUE(!written || trace.files[results[i]] == whole.files[results[i]]) << results[i];
      EXPECT_EQ(trace.stamps[i + 1] != 0, written) << jobs << " " << results[i];
    }
    // The sources and the results, and no temporary left behind.
    EXPECT_EQ(trace.files.size(), 4u + expected) << jobs;
  }
}

// Entries deleted while a question is open: one under way is dropped (its result is
// not written), one not yet begun is never begun, and deleting the entry above does
// not make the run pass over the entry after it.
TEST_F(ParallelRun, DeletionsDuringTheRunLeaveWhatTheyLeaveWithOneJob) {
  scratch.Write("bad.jpg", std::string(100, 'x'));
  for (const char* name : {"g1.png", "g2.png", "g3.png"}) WriteSample(scratch, name, 300, 200);
  std::vector<Trace> traces;
  for (int32_t jobs : {1, 4}) {
    FileListClear();
    for (const char* name : {"bad.jpg", "g1.png", "g2.png", "g3.png"}) AddEntry(scratch, name);
    gOnBoxShown = [this](const ShownBox&) {
      FileListDelete(FileListFind(scratch.Path("g1.png")));
      FileListDelete(FileListFind(scratch.Path("bad.jpg")));
    };
    traces.push_back(Run(jobs));
  }
  const Trace& one = traces[0];
  EXPECT_EQ(one.result.converted, 2);
  EXPECT_EQ(one.result.failed, 1);
  EXPECT_EQ(one.files.count("g1_c.jpg"), 0u);
  EXPECT_EQ(one.files.count("g2_c.jpg"), 1u);
  EXPECT_EQ(one.files.count("g3_c.jpg"), 1u);
  ASSERT_EQ(one.stamps.size(), 2u);
  EXPECT_NE(one.stamps[0], 0u);
  EXPECT_NE(one.stamps[1], 0u);
  ExpectSame(one, traces[1], "4 jobs");
}

}  // namespace
