// The work of each file in a worker process: a crash or a runaway file fails only that
// file, and the results are the ones the run makes without a worker.
#include "engine/worker.h"
#include "engine/worker_protocol.h"
#include "tests/conversion_fixture.h"

namespace {

class IsolatedRun : public ConversionTest {
 protected:
  void SetUp() override {
    ConversionTest::SetUp();
    SetWorkerProgram(TextFromUtf8(TESSALY_BATCH_PROGRAM));
  }
  void TearDown() override {
    StopFileWorker();
    SetWorkerProgram(u"");
    SetWorkTimeLimits(WorkTimeLimits());
    ConversionTest::TearDown();
  }
};

TEST_F(IsolatedRun, ACrashInTheImageLibraryFailsOnlyItsFile) {
  WriteSample(scratch, "a.png", 8, 8);
  scratch.Write("crash.jpg", ReadTestData("hostile/thirdparty_freeimage_exif_ifdcount_segv.jpg"));
  WriteSample(scratch, "b.png", 9, 9);
  for (const char* name : {"a.png", "crash.jpg", "b.png"}) AddEntry(scratch, name);
  RunResult result = RunConversion();
  EXPECT_EQ(result.converted, 2);
  EXPECT_EQ(result.failed, 1);
  ASSERT_EQ(gShownBoxes.size(), 1u);
  EXPECT_EQ(BoxReason(0), u"Сбой библиотеки изображений при обработке файла - Error: 16");
  EXPECT_NE(gShownBoxes[0].text.find(u"сигнал 11"), Text::npos) << TextToUtf8(gShownBoxes[0].text);
  EXPECT_EQ(OpenResult(scratch, "b_c.jpg").width, 9u);
  EXPECT_FALSE(scratch.Exists("crash_c.jpg"));
  EXPECT_EQ(FileListStamp(1), 0u);
}

TEST_F(IsolatedRun, AFileThatRunsPastItsTimeIsEndedAndTheNextGetsAFreshWorker) {
  WriteSample(scratch, "slow.png", 3000, 3000);
  WriteSample(scratch, "next.png", 8, 8);
  AddEntry(scratch, "slow.png");
  AddEntry(scratch, "next.png");
  gAppSettings.ResizeMode = 2;
  gAppSettings.ScalePercent = 50;
  SetWorkTimeLimits(WorkTimeLimits{30000, 0, 0});  // no time at all once the header is read
  gOnBoxShown = [](const ShownBox&) { SetWorkTimeLimits(WorkTimeLimits()); };
  RunResult result = RunConversion();
  EXPECT_EQ(result.failed, 1);
  EXPECT_EQ(result.converted, 1);
  ASSERT_EQ(gShownBoxes.size(), 1u);
  EXPECT_EQ(BoxReason(0), u"Файл обрабатывается слишком долго - Error: 17");
  EXPECT_FALSE(scratch.Exists("slow_c.jpg"));
  EXPECT_TRUE(scratch.Exists("next_c.jpg"));
}

TEST_F(IsolatedRun, ResultsAreTheBytesTheRunMakesItself) {
  for (const char16_t* target : {u"JPG", u"WEBP", u"PNG"}) {
    SetTarget(target);
    FileListClear();
    WriteSample(scratch, "a.png", 37, 23, SampleKind::Rgba32);
    AddEntry(scratch, "a.png");
    std::string out = "a_c." + TextToUtf8(ToLower(target));
    ASSERT_EQ(RunConversion().converted, 1);
    std::string isolated = scratch.Read(out);
    SetWorkerProgram(u"");
    FileListClear();
    AddEntry(scratch, "a.png");
    ASSERT_EQ(RunConversion().converted, 1);
    EXPECT_EQ(scratch.Read(out), isolated) << out;
    SetWorkerProgram(TextFromUtf8(TESSALY_BATCH_PROGRAM));
  }
}

TEST_F(IsolatedRun, AWorkerThatCannotStartLeavesTheWorkToTheRun) {
  SetWorkerProgram(scratch.Path("no-such-program"));
  WriteSample(scratch, "a.png", 8, 8);
  AddEntry(scratch, "a.png");
  EXPECT_EQ(RunConversion().converted, 1);
}

TEST(WorkerProtocol, FramesRoundTripAndBrokenOnesAreRefused) {
  FileWork work;
  work.error = kErrorTooLarge;
  work.detail = u"Размер \U0001F600";
  work.bytesRead = 1234;
  work.encoded = {1, 2, 3};
  std::vector<uint8_t> frame = ResultFrame(work);
  size_t length = 0;
  ASSERT_TRUE(WholeFrameLength(frame, &length));
  EXPECT_EQ(length, frame.size());
  FileWork back;
  ASSERT_TRUE(ParseResult(frame.data(), frame.size(), &back));
  EXPECT_EQ(back.error, work.error);
  EXPECT_EQ(back.detail, work.detail);
  EXPECT_EQ(back.bytesRead, work.bytesRead);
  EXPECT_EQ(back.encoded, work.encoded);
  // Cut anywhere, or of another kind, a frame is not a result.
  for (size_t cut = 0; cut < frame.size(); ++cut) {
    std::vector<uint8_t> part(frame.begin(), frame.begin() + static_cast<long>(cut));
    ASSERT_TRUE(WholeFrameLength(part, &length));
    EXPECT_EQ(length, 0u) << cut;
    EXPECT_FALSE(ParseResult(part.data(), part.size(), &back)) << cut;
  }
  std::vector<uint8_t> decoded = DecodedFrame(7);
  EXPECT_FALSE(ParseResult(decoded.data(), decoded.size(), &back));
  std::vector<uint8_t> huge = {0xFF, 0xFF, 0xFF, 0xFF, 'R'};
  EXPECT_FALSE(WholeFrameLength(huge, &length));
}

}  // namespace
