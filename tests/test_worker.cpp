// The work of each file in a worker process: a crash or a runaway file fails only that
// file, and the results are the ones the run makes without a worker.
#include <malloc.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <thread>

#include "engine/codecs/encode.h"
#include "engine/codecs/pixel_rows.h"
#include "engine/workers/worker.h"
#include "engine/workers/worker_process.h"
#include "engine/workers/worker_protocol.h"
#include "tests/conversion_fixture.h"
#include "tests/freed_memory_checks.h"

namespace {

class IsolatedRun : public ConversionTest {
 protected:
  void SetUp() override {
    ConversionTest::SetUp();
    SetWorkerProgram(TextFromUtf8(TESSALY_BATCH_PROGRAM));
  }
  void TearDown() override {
    SetWorkerProgram(u"");
    SetWorkerFilesEach(0);
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
  SetWorkerFilesEach(1);  // a worker per file: the crash is the file's at once
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

// Drives one job on the slot; act runs at each header the job's workers send, with its
// count (a job handed to a fresh worker sends its header again).
FileWork ConvertOnSlotAtHeaders(WorkerSlot* slot, const Text& path, const std::function<void(int)>& act) {
  WorkerJob job;
  job.settings = gAppSettings;
  job.inputPath = path;
  if (!slot->Begin(job)) return FileWork{};
  JobReport report;
  int headers = 0;
  for (;;) {
    JobNews news = slot->Poll(60000, &report);
    if (news == JobNews::Header) {
      act(++headers);
      slot->Admit();
    }
    if (news == JobNews::Done) return report.result;
  }
}

// The workers once those retired have gone (they leave by themselves, a moment later).
std::vector<pid_t> WorkersWhenOne() {
  auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  std::vector<pid_t> now = Workers();
  while (now.size() > 1 && std::chrono::steady_clock::now() < until) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    now = Workers();
  }
  return now;
}

void CrashAll() {
  for (pid_t pid : Workers()) ::kill(pid, SIGSEGV);
}

// Where a worker takes files in turn: the same process serves the next file, up to its
// share; a crash or a failure in a worker that served others is judged again in a fresh
// one, and only a fresh worker's verdict reaches the file.
TEST_F(IsolatedRun, AWorkerTakesFilesInTurnAndJudgesNoFileByAnotherOnesDamage) {
  SetWorkerFilesEach(3);
  WriteSample(scratch, "a.png", 40, 30);
  scratch.Write("broken.png", "\x89PNG\r\n\x1a\n but nothing after");
  Text a = scratch.Path("a.png");
  WorkerSlot slot;
  ASSERT_EQ(ConvertOnSlot(&slot, a).error, 0);
  std::vector<pid_t> first = Workers();
  ASSERT_EQ(first.size(), 1u);  // no spare beside a worker that stays
  ASSERT_EQ(ConvertOnSlot(&slot, a).error, 0);
  EXPECT_EQ(Workers(), first);

  // Crashed at its third file, after two good ones: the file goes to a fresh worker.
  FileWork third = ConvertOnSlotAtHeaders(&slot, a, [](int header) {
    if (header == 1) CrashAll();
  });
  EXPECT_EQ(third.error, 0) << TextToUtf8(third.detail);
  std::vector<pid_t> second = Workers();
  ASSERT_EQ(second.size(), 1u);
  EXPECT_NE(second, first);

  // Crashed again in the fresh worker too: now the crash is the file's.
  FileWork crashed = ConvertOnSlotAtHeaders(&slot, a, [](int) { CrashAll(); });
  EXPECT_EQ(crashed.error, kErrorWorkerCrashed);
  EXPECT_NE(crashed.detail.find(u"сигнал 11"), Text::npos) << TextToUtf8(crashed.detail);

  // A failure is met twice, then its worker is not used again.
  ASSERT_EQ(ConvertOnSlot(&slot, a).error, 0);
  std::vector<pid_t> beforeFailure = Workers();
  FileWork failed = ConvertOnSlot(&slot, scratch.Path("broken.png"));
  EXPECT_NE(failed.error, 0);
  ASSERT_EQ(ConvertOnSlot(&slot, a).error, 0);
  EXPECT_NE(Workers(), beforeFailure);

  // The share: the worker that has just taken its first file takes two more and leaves
  // (it may still be on its way out when the next one starts).
  std::vector<pid_t> shared = WorkersWhenOne();
  ASSERT_EQ(shared.size(), 1u);
  ASSERT_EQ(ConvertOnSlot(&slot, a).error, 0);
  EXPECT_EQ(Workers(), shared);
  ASSERT_EQ(ConvertOnSlot(&slot, a).error, 0);
  ASSERT_EQ(ConvertOnSlot(&slot, a).error, 0);
  std::vector<pid_t> after = Workers();
  EXPECT_TRUE(std::any_of(after.begin(), after.end(), [&](pid_t pid) { return pid != shared[0]; }));
  slot.Stop();
}

// The JPEG whose EXIF reader reads past its buffer, converted by the worker that has just
// converted a photo of noise: whatever it picks up, none of the photo's file, pixels or
// result may be in what it writes (once it wrote an earlier picture's bytes so).
TEST_F(IsolatedRun, AFileThatReadsPastItsBufferFindsNothingOfTheFileBefore) {
  SetWorkerFilesEach(64);
  Image photo = CreateSampleImage(SampleKind::Rgb24, 320, 240);
  PixelRows rows = ImageRows(photo);
  std::mt19937 noise(7);
  for (uint32_t y = 0; y < rows.height; ++y)
    for (uint32_t x = 0; x < rows.width * 3; ++x) rows.Row(y)[x] = static_cast<uint8_t>(noise());
  std::vector<uint8_t> photoBytes;
  ASSERT_TRUE(EncodeImage(photo, kFormatPng, 0, &photoBytes));
  WriteBytes(scratch, "photo.png", photoBytes);
  ByteWindows before;
  before.Add(photoBytes.data(), photoBytes.size());
  for (uint32_t y = 0; y < rows.height; ++y) before.Add(rows.Row(y), rows.width * 3);
  Text reproducer = TextFromUtf8(TESSALY_TEST_DATA "/hostile/thirdparty_freeimage_exif_ifdcount_segv.jpg");
  gAppSettings.ResizeMode = 0;
  int converted = 0;
  for (int round = 0; round < 5; ++round) {
    WorkerSlot slot;
    FileWork first = ConvertOnSlot(&slot, scratch.Path("photo.png"));
    ASSERT_EQ(first.error, 0) << TextToUtf8(first.detail);
    before.AddJpegScan(first.encoded);
    FileWork next = ConvertOnSlot(&slot, reproducer);
    if (next.error != 0) continue;  // its over-read ran off the heap: a crash, in both workers
    ++converted;
    EXPECT_FALSE(before.FoundIn(next.encoded)) << "round " << round;
  }
  RecordProperty("converted", converted);
}

// In a forked child, so that this test process keeps its allocator as it is: once a
// worker asks, no freed block keeps its bytes; before, the same block shows them.
TEST(FreedMemory, AWorkerWipesEveryBlockItFrees) {
  if (WorkerProcessFilesEach() == 1) GTEST_SKIP() << "this build's workers take one file each";
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    int before = PatternLeftInReusedBlock(1000, false);
    bool wipes = WorkerWipeFreedMemory();
    int code = before <= 0 ? 10 : !wipes ? 11 : 0;
    for (size_t size : {24, 1000, 70000})
      for (bool grow : {false, true})
        if (code == 0 && PatternLeftInReusedBlock(size, grow) > 0) code = 12;
    ::_exit(code);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "10: the block was not handed out again, 11: no wipe, 12: bytes left";
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
