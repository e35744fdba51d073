// The work of each file in a worker process: a crash or a runaway file fails only that
// file, and the results are the ones the run makes without a worker.
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

#include "engine/workers/worker.h"
#include "engine/workers/worker_protocol.h"
#include "tests/conversion_fixture.h"

namespace {

class IsolatedRun : public ConversionTest {
 protected:
  void SetUp() override {
    ConversionTest::SetUp();
    SetWorkerProgram(TextFromUtf8(TESSALY_BATCH_PROGRAM));
  }
  void TearDown() override {
    SetWorkerProgram(u"");
    SetWorkTimeLimits(WorkTimeLimits());
    ConversionTest::TearDown();
  }
};

// The children of this process: the worker on a job and the spare waiting for the next.
std::vector<pid_t> Workers() {
  std::vector<pid_t> found;
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    std::string name = entry.path().filename();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    std::ifstream stat(entry.path() / "stat");
    std::string line;
    std::getline(stat, line);
    size_t close = line.rfind(')');
    if (close == std::string::npos) continue;
    std::istringstream rest(line.substr(close + 2));
    char state = 0;
    int parent = 0;
    rest >> state >> parent;
    if (parent == ::getpid() && state != 'Z') found.push_back(std::stoi(name));
  }
  return found;
}

// What a crash in the image library looks like from the run: its worker dies of a
// signal in the middle of a job. (The crashing JPEG of tests/data crashes only while its
// over-read runs off the worker's heap; with huge pages it may stay inside and read
// zeros.) The spare dies too, as workers do when their program is killed.
int CrashWorkers() {
  int crashed = 0;
  for (pid_t pid : Workers())
    if (::kill(pid, SIGSEGV) == 0) ++crashed;
  return crashed;
}

bool StatusShows(const Text& part) {
  std::lock_guard<std::mutex> hold(gFakeUiLock);
  for (const Text& line : gFakeStatusHistory)
    if (line.find(part) != Text::npos) return true;
  return false;
}

TEST_F(IsolatedRun, AWorkerThatCrashesFailsOnlyItsFile) {
  WriteSample(scratch, "a.png", 8, 8);
  WriteSample(scratch, "slow.png", 3000, 2000);
  WriteSample(scratch, "b.png", 9, 9);
  for (const char* name : {"a.png", "slow.png", "b.png"}) AddEntry(scratch, name);
  gAppSettings.ResizeMode = 2;
  gAppSettings.ScalePercent = 300;  // seconds of work after slow.png is decoded
  RunResult result;
  std::thread run([&result] { ConvertFiles(gAppSettings, &result); });
  auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!StatusShows(u"Имя: slow.png") && std::chrono::steady_clock::now() < until)
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  int crashed = CrashWorkers();
  run.join();
  EXPECT_GE(crashed, 1);
  EXPECT_EQ(result.converted, 2);
  EXPECT_EQ(result.failed, 1);
  ASSERT_EQ(gShownBoxes.size(), 1u);
  EXPECT_EQ(BoxReason(0), u"Сбой библиотеки изображений при обработке файла - Error: 16");
  EXPECT_NE(gShownBoxes[0].text.find(u"сигнал 11"), Text::npos) << TextToUtf8(gShownBoxes[0].text);
  EXPECT_EQ(OpenResult(scratch, "b_c.jpg").width, 27u);
  EXPECT_FALSE(scratch.Exists("slow_c.jpg"));
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

FileWork ConvertOnSlot(WorkerSlot* slot, const Text& path, const std::function<void()>& afterBegin = {}) {
  WorkerJob job;
  job.settings = gAppSettings;
  job.inputPath = path;
  if (!slot->Begin(job)) return FileWork{};
  if (afterBegin) afterBegin();
  JobReport report;
  for (;;) {
    JobNews news = slot->Poll(60000, &report);
    if (news == JobNews::Header) slot->Admit();
    if (news == JobNews::Done) return report.result;
  }
}

// A worker may die before it has said a word about its job: a spare killed while it
// waited, or one still dying when the job was handed to it. The file must not pay.
TEST_F(IsolatedRun, WorkersKilledBeforeTheyAnswerCostTheFileNothing) {
  WriteSample(scratch, "a.png", 40, 30);
  Text path = scratch.Path("a.png");
  WorkerSlot slot;
  FileWork first = ConvertOnSlot(&slot, path);
  ASSERT_EQ(first.error, 0);
  ASSERT_FALSE(first.encoded.empty());

  // The spare killed while it waits, and gone before the next job.
  std::vector<pid_t> spares = Workers();
  ASSERT_FALSE(spares.empty());
  for (pid_t pid : spares) ::kill(pid, SIGKILL);
  auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!Workers().empty() && std::chrono::steady_clock::now() < until)
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  FileWork second = ConvertOnSlot(&slot, path);
  EXPECT_EQ(second.error, 0) << TextToUtf8(second.detail);
  EXPECT_EQ(second.encoded, first.encoded);

  // The job handed to a spare that cannot answer (stopped), which then dies.
  for (pid_t pid : Workers()) ::kill(pid, SIGSTOP);
  std::vector<pid_t> stopped = Workers();
  FileWork third = ConvertOnSlot(&slot, path, [&stopped] {
    for (pid_t pid : stopped) ::kill(pid, SIGKILL);
  });
  EXPECT_EQ(third.error, 0) << TextToUtf8(third.detail);
  EXPECT_EQ(third.encoded, first.encoded);
  slot.Stop();
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
